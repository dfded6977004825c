// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <functional>
#include <memory>

// Locks the keyboard: while active, a tap over the whole session deletes every key
// press, key release, modifier change and special key before any program sees it.
class KeyboardBlocker {
public:
    // Key down, key up, modifier flags changed, system-defined (special keys).
    static constexpr platform::EventMask kEventMask = 0x5C00;

    KeyboardBlocker();
    // Gives the keyboard back if it is still locked: a blocker never leaves a lock behind.
    ~KeyboardBlocker();
    KeyboardBlocker(const KeyboardBlocker&) = delete;
    KeyboardBlocker& operator=(const KeyboardBlocker&) = delete;

    // True only when this very call asked the system to prompt for keyboard access.
    bool requestPermissionIfNeeded();
    // True when the tap is active after the call; a failed start changes nothing.
    bool start();
    void stop();
    bool isActive() const { return m_isActive; }

    // Called when the platform has ended the lock and cannot take it back (the keyboard
    // is free again); the blocker is inactive by then. Set by the owner, holding it weakly.
    std::function<void()> onEndedByPlatform;
    // Called when the platform gives the keyboard back for a while without ending the
    // lock (false: keys type), and when it holds it again (true). The blocker stays active.
    std::function<void(bool held)> onHoldChangedByPlatform;
    // False from the platform giving the keyboard back until it holds it again.
    bool isHeld() const { return m_isActive && m_isHeld; }

    // Read-only views of the private state, for tests and diagnostics.
    bool hasEventTap() const { return m_eventTap != nullptr; }
    bool hasRunLoopSource() const { return m_runLoopSource != nullptr; }
    bool didRequestPermission() const { return m_didRequestPermission; }

    // The tap callback; context is the blocker. Allocates nothing.
    static platform::TapEvent* tapCallback(platform::TapProxy* proxy, platform::EventType type,
                                           platform::TapEvent* event, void* context);

private:
    void endedByPlatform();
    void holdChangedByPlatform(bool held);

    std::unique_ptr<platform::EventTap> m_eventTap;
    std::unique_ptr<platform::RunLoopSource> m_runLoopSource;
    bool m_didRequestPermission = false;
    bool m_isActive = false;
    bool m_isHeld = false;
};
