// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11LaunchActivation.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWindow>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace platform {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window)
{
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    return geometry ? geometry->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The server's time now, from a property change on a window of a short-lived connection
// of our own: Qt's connection hands its events to Qt, so we could not wait for ours there.
xcb_timestamp_t serverTimeNow()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    if (!xcb_connection_has_error(c)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            0, nullptr);
        xcb_flush(c);
        while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
            const bool found = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            if (found)
                time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            std::free(event);
            if (found)
                break;
        }
    }
    xcb_disconnect(c);
    return time;
}

bool windowManagerRunning(xcb_connection_t* c, xcb_window_t root)
{
    const Reply<xcb_get_property_reply_t> check(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    return check && xcb_get_property_value_length(check.get()) > 0;
}

// EWMH: source 1 is an application acting on a user's request; the time stamp is what
// focus-stealing prevention weighs against the user's last action elsewhere.
void requestActiveWindow(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                         xcb_timestamp_t time)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1;
    event.data.data32[1] = time;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

// The startup notification protocol: a "remove" message, NUL-terminated, cut into
// 20-byte client messages, the first of type _NET_STARTUP_INFO_BEGIN.
void endStartupNotification(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                            const QByteArray& startupId)
{
    QByteArray escaped;
    for (const char ch : startupId) {
        if (ch == ' ' || ch == '"' || ch == '\\')
            escaped += '\\';
        escaped += ch;
    }
    const QByteArray message = "remove: ID=" + escaped + '\0';
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    for (qsizetype offset = 0; offset < message.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + offset,
                    size_t(std::min<qsizetype>(20, message.size() - offset)));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

} // namespace

quint32 startupIdTime(const QByteArray& startupId)
{
    static const QRegularExpression time(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch match = time.match(QString::fromUtf8(startupId));
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

bool activateX11WindowForLaunch(QWindow& window, const QByteArray& startupId)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !window.handle())
        return false;
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(window.winId());
    const xcb_window_t root = rootOf(c, id);
    if (root == XCB_WINDOW_NONE)
        return false;
    // A launch from a terminal carries no id: the user acted just now.
    xcb_timestamp_t time = startupIdTime(startupId);
    if (time == 0)
        time = serverTimeNow();
    // Qt's own request (made by activateWindow) carries the time of the last event Qt
    // saw, which a window manager that prevents focus stealing rightly refuses.
    if (windowManagerRunning(c, root))
        requestActiveWindow(c, root, id, time);
    else // nobody else hands out the focus; the server ignores a request older than its last
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, id, time);
    if (!startupId.isEmpty())
        endStartupNotification(c, root, id, startupId);
    xcb_flush(c);
    return true;
}

} // namespace platform
