// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11SessionProbe.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

template <typename Reply> struct Freed {
    Reply* reply;
    ~Freed() { std::free(reply); }
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

X11SessionProbe::~X11SessionProbe()
{
    disconnect();
}

bool X11SessionProbe::isWaylandSession()
{
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return isSet("WAYLAND_DISPLAY") || (type && std::strcmp(type, "wayland") == 0);
}

bool X11SessionProbe::isDisplayReachable()
{
    const char* displayName = std::getenv("DISPLAY");
    if (!displayName || !*displayName) {
        disconnect();
        return false;
    }
    if (m_connection && m_displayName != displayName)
        disconnect();
    if (!m_connection)
        connect(displayName);
    if (xcb_connection_has_error(m_connection)) {
        disconnect();
        return false;
    }
    // The server only tells us of device changes; a closed connection reads as
    // end-of-file, which xcb turns into an error when it reads.
    pollfd watched{xcb_get_file_descriptor(m_connection), POLLIN, 0};
    if (::poll(&watched, 1, 0) > 0) {
        readEvents();
        if (xcb_connection_has_error(m_connection)) {
            disconnect();
            return false;
        }
    }
    return true;
}

bool X11SessionProbe::hasPointingDevice()
{
    if (!isDisplayReachable())
        return true;
    if (!m_pointerKnown)
        return queryPointingDevice();
    return m_hasPointer;
}

bool X11SessionProbe::queryPointingDevice()
{
    if (!isDisplayReachable() || m_inputOpcode == 0)
        return true;
    const Freed reply{xcb_input_xi_query_device_reply(
        m_connection, xcb_input_xi_query_device(m_connection, XCB_INPUT_DEVICE_ALL), nullptr)};
    if (!reply)
        return true;
    bool found = false;
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply.reply); it.rem && !found;
         xcb_input_xi_device_info_next(&it)) {
        const xcb_input_xi_device_info_t* info = it.data;
        const std::string_view name(xcb_input_xi_device_info_name(info), info->name_len);
        // Every server has an XTEST pointer for injected input, whether a mouse is
        // there or not; a disabled device becomes a floating slave.
        found = info->type == XCB_INPUT_DEVICE_TYPE_SLAVE_POINTER && info->enabled &&
                name.find("XTEST") == std::string_view::npos;
    }
    m_hasPointer = found;
    m_pointerKnown = true;
    return found;
}

void X11SessionProbe::connect(const char* displayName)
{
    m_displayName = displayName;
    // xcb rather than Xlib: a lost xcb connection only reports an error, where Xlib
    // would end the process from its I/O error handler.
    m_connection = xcb_connect(displayName, nullptr);
    m_pointerKnown = false;
    m_inputOpcode = 0;
    if (!xcb_connection_has_error(m_connection))
        watchDevices();
}

void X11SessionProbe::watchDevices()
{
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(m_connection, &xcb_input_id);
    if (!extension || !extension->present)
        return;
    // The server sends XInput 2 events only to clients that announced the version.
    const Freed version{xcb_input_xi_query_version_reply(
        m_connection, xcb_input_xi_query_version(m_connection, 2, 0), nullptr)};
    if (!version || version->major_version < 2)
        return;
    m_inputOpcode = extension->major_opcode;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL, 1}, XCB_INPUT_XI_EVENT_MASK_HIERARCHY};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    xcb_input_xi_select_events(m_connection, root, 1, &mask.head);
    xcb_flush(m_connection);
}

void X11SessionProbe::readEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if ((event->response_type & 0x7F) == XCB_GE_GENERIC && m_inputOpcode != 0 &&
            generic->extension == m_inputOpcode && generic->event_type == XCB_INPUT_HIERARCHY)
            m_pointerKnown = false; // a device came, went, or was switched on or off
        std::free(event);
    }
}

void X11SessionProbe::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_pointerKnown = false;
}
