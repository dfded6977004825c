#pragma once

#include <string>

struct xcb_connection_t;

// Whether this process runs in an X11 session whose display it can reach. Cheap enough
// to ask twice a second: the answer costs one poll() on a connection kept open, never
// a round trip to the server.
class X11SessionProbe {
public:
    X11SessionProbe() = default;
    ~X11SessionProbe();
    X11SessionProbe(const X11SessionProbe&) = delete;
    X11SessionProbe& operator=(const X11SessionProbe&) = delete;

    // A Wayland session: an X grab there reaches only the X11 programs.
    static bool isWaylandSession();
    bool isDisplayReachable();

private:
    void disconnect();

    xcb_connection_t* m_connection = nullptr;
    std::string m_displayName; // what m_connection was opened for
};
