// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

struct xcb_connection_t;

// Whether this process runs in an X11 session whose display it can reach, and whether
// that display has a pointing device. Cheap enough to ask twice a second: the answers
// cost one poll() on a connection kept open, never a round trip to the server, except
// for one device query after the server said its devices changed.
class X11SessionProbe {
public:
    X11SessionProbe() = default;
    ~X11SessionProbe();
    X11SessionProbe(const X11SessionProbe&) = delete;
    X11SessionProbe& operator=(const X11SessionProbe&) = delete;

    // A Wayland session: an X grab there reaches only the X11 programs.
    static bool isWaylandSession();
    bool isDisplayReachable();
    // An enabled pointer device (mouse, touchpad, tablet…) is attached to the cursor; true
    // when the display cannot be reached or has no XInput 2 to tell.
    bool hasPointingDevice();
    // The same, asked of the server now rather than taken from the cache.
    bool queryPointingDevice();

private:
    void connect(const char* displayName);
    void disconnect();
    void watchDevices();
    void readEvents();

    xcb_connection_t* m_connection = nullptr;
    std::string m_displayName;      // what m_connection was opened for
    std::uint8_t m_inputOpcode = 0; // XInput's major opcode; 0 without XInput 2
    bool m_pointerKnown = false;
    bool m_hasPointer = true;
};
