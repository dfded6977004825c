// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11WindowStacking.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace platform {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

bool isViewable(xcb_connection_t* connection, xcb_window_t window)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

} // namespace

X11WindowStacking* X11WindowStacking::instance()
{
    // One per application object: it lives on the application's X connection.
    static QPointer<X11WindowStacking> stacking;
    if (stacking || !qGuiApp)
        return stacking;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return nullptr;
    int screenNumber = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber))
        std::free(host);
    stacking = new X11WindowStacking(x11->connection(), screenNumber);
    stacking->setParent(qGuiApp); // dies with the application, before the X connection
    return stacking;
}

X11WindowStacking::X11WindowStacking(xcb_connection_t* qtConnection, int screenNumber)
    : m_qtConnection(qtConnection), m_screenNumber(screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(qtConnection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (screens.rem)
        m_root = screens.data->root;
}

X11WindowStacking::~X11WindowStacking()
{
    delete m_notifier;
    if (m_watcher)
        xcb_disconnect(m_watcher);
}

void X11WindowStacking::keepAbove(QWindow& window)
{
    if (m_kept.contains(&window))
        return;
    m_kept.append(&window);
    castNoShadow(window);
    window.installEventFilter(this);
    connect(&window, &QObject::destroyed, this,
            [this](QObject* gone) { forget(static_cast<QWindow*>(gone)); });
    watchRoot(true);
}

void X11WindowStacking::forget(QWindow* window)
{
    m_kept.removeIf([window](const QPointer<QWindow>& kept) { return !kept || kept == window; });
    if (m_kept.isEmpty())
        watchRoot(false); // nothing to keep on top: no reason to hear about every window
}

// Kept windows cover monitors edge to edge, so a compositor's shadow around one would
// fall across its neighbour. picom (and compton before it) leaves out the shadow of a
// window whose _COMPTON_SHADOW is 0.
void X11WindowStacking::castNoShadow(QWindow& window)
{
    if (!m_shadowAtom) { // one round trip for the first overlay, none after
        static constexpr char name[] = "_COMPTON_SHADOW";
        const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            m_qtConnection, xcb_intern_atom(m_qtConnection, 0, sizeof name - 1, name), nullptr));
        if (!atom)
            return;
        m_shadowAtom = atom->atom;
    }
    const uint32_t none = 0;
    xcb_change_property(m_qtConnection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), m_shadowAtom, XCB_ATOM_CARDINAL,
                        32, 1, &none);
    xcb_flush(m_qtConnection);
}

// Watching the root's substructure tells of every top-level window mapped, moved or
// restacked; whichever lands above a shown overlay is answered by raising the overlay.
void X11WindowStacking::watchRoot(bool watch)
{
    if (watch == m_watchingRoot || !m_root)
        return;
    if (watch && !m_watcher) {
        m_watcher = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_watcher)) {
            xcb_disconnect(m_watcher);
            m_watcher = nullptr;
            return;
        }
        m_notifier =
            new QSocketNotifier(xcb_get_file_descriptor(m_watcher), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &X11WindowStacking::readEvents);
    }
    if (!m_watcher)
        return;
    const uint32_t mask = watch ? XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_watcher, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_watcher);
    m_watchingRoot = watch;
}

void X11WindowStacking::readEvents()
{
    bool somethingElseMoved = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_watcher)) {
        const Reply<xcb_generic_event_t> owned(event);
        switch (event->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            somethingElseMoved |= !isKept(reinterpret_cast<xcb_map_notify_event_t*>(event)->window);
            break;
        case XCB_CONFIGURE_NOTIFY:
            // Our own raises come back as ConfigureNotify of our windows: not a reason to
            // raise again.
            somethingElseMoved |=
                !isKept(reinterpret_cast<xcb_configure_notify_event_t*>(event)->window);
            break;
        case XCB_CIRCULATE_NOTIFY:
            somethingElseMoved |=
                !isKept(reinterpret_cast<xcb_circulate_notify_event_t*>(event)->window);
            break;
        default:
            break;
        }
    }
    if (somethingElseMoved)
        raiseKeptWindows();
}

bool X11WindowStacking::isKept(unsigned int windowId) const
{
    for (const QPointer<QWindow>& window : m_kept)
        if (window && window->handle() && window->winId() == windowId)
            return true;
    return false;
}

void X11WindowStacking::raiseKeptWindows()
{
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    for (const QPointer<QWindow>& window : m_kept) {
        if (window && window->isVisible() && window->handle())
            xcb_configure_window(m_watcher, static_cast<xcb_window_t>(window->winId()),
                                 XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    xcb_flush(m_watcher);
}

void X11WindowStacking::makeKey(QWindow& window)
{
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_qtConnection, xcb_get_input_focus(m_qtConnection), nullptr));
    if (focus && !isKept(focus->focus)) {
        m_focusBefore = focus->focus;
        m_revertBefore = focus->revert_to;
    }
    m_keyWindow = &window;
    // Qt sets the input focus itself on windows the window manager does not manage,
    // once they are mapped.
    window.requestActivate();
}

bool X11WindowStacking::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched == m_keyWindow) {
        m_keyWindow = nullptr;
        // Once the unmap has reached the server: Qt sends it after this event.
        QTimer::singleShot(0, this, &X11WindowStacking::giveFocusBack);
    }
    return false;
}

// A window the window manager does not manage takes the focus from whoever had it and
// leaves the focus on the root when it unmaps: give it back, unless the user has put
// it somewhere else meanwhile.
void X11WindowStacking::giveFocusBack()
{
    const xcb_window_t before = m_focusBefore;
    m_focusBefore = 0;
    if (before == XCB_NONE)
        return;
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_qtConnection, xcb_get_input_focus(m_qtConnection), nullptr));
    if (!focus)
        return;
    const bool focusLost = focus->focus == XCB_NONE || focus->focus == m_root ||
                           focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || isKept(focus->focus);
    if (!focusLost)
        return;
    if (before != XCB_INPUT_FOCUS_POINTER_ROOT && !isViewable(m_qtConnection, before))
        return;
    // Checked, so that a window gone in between costs an error reply to us, not a
    // warning from Qt.
    Reply<xcb_generic_error_t> error(xcb_request_check(
        m_qtConnection,
        xcb_set_input_focus_checked(m_qtConnection, m_revertBefore, before, XCB_CURRENT_TIME)));
}

bool X11WindowStacking::compositingManagerRunning()
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screenNumber);
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_qtConnection,
        xcb_intern_atom(m_qtConnection, true, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_qtConnection, xcb_get_selection_owner(m_qtConnection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

} // namespace platform
