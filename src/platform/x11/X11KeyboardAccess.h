// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"
#include "platform/x11/X11SessionProbe.h"

namespace platform {

// Keyboard access on an X11 session: the tap is an active keyboard grab on the root
// window, on an Xlib connection of its own (see X11Tap).
//
// Trust and listen access both mean "an X11 session with a reachable display": X has
// no per-program permission, and in a Wayland session an X grab would leave every
// Wayland program still receiving keys, so there no access is reported and no tap is
// made. Neither can be granted from here; asking shows what the user can do instead.
class X11KeyboardAccess final : public KeyboardAccess {
public:
    bool isProcessTrusted() override;
    void promptForTrust() override;
    bool preflightListenAccess() override;
    void requestListenAccess() override;
    // Only a session tap with the default (filtering) options and a mask of key down,
    // key up, flags changed and system-defined events is supported; nullptr otherwise.
    // Refused without a pointing device: nobody could click "Unlock keyboard".
    std::unique_ptr<EventTap> createTap(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask mask, TapCallback callback,
                                        void* context) override;
    void enableTap(EventTap& tap, bool enable) override;
    std::unique_ptr<RunLoopSource> createRunLoopSource(EventTap& tap) override;
    void addToMainLoop(RunLoopSource& source) override;
    void removeFromMainLoop(RunLoopSource& source) override;
    bool hasPointingDevice() override;
    TapRefusal lastTapRefusal() override { return m_lastRefusal; }
    AccessProblem accessProblem() override;

    static constexpr EventMask kSupportedMask =
        eventMaskBit(kEventKeyDown) | eventMaskBit(kEventKeyUp) | eventMaskBit(kEventFlagsChanged) |
        eventMaskBit(kEventSystemDefined);

private:
    X11SessionProbe m_probe;
    TapRefusal m_lastRefusal = TapRefusal::None;
};

} // namespace platform
