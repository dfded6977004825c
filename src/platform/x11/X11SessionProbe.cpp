#include "platform/x11/X11SessionProbe.h"

#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <xcb/xcb.h>

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

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
    if (!m_connection) {
        m_displayName = displayName;
        // xcb rather than Xlib: a lost xcb connection only reports an error, where Xlib
        // would end the process from its I/O error handler.
        m_connection = xcb_connect(displayName, nullptr);
    }
    if (xcb_connection_has_error(m_connection)) {
        disconnect();
        return false;
    }
    // We select no events, so the server has little to say; a closed connection reads
    // as end-of-file, which xcb turns into an error when it reads.
    pollfd watched{xcb_get_file_descriptor(m_connection), POLLIN, 0};
    if (::poll(&watched, 1, 0) > 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
        if (xcb_connection_has_error(m_connection)) {
            disconnect();
            return false;
        }
    }
    return true;
}

void X11SessionProbe::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
}
