#pragma once

#include "platform/KeyboardAccess.h"

namespace platform {

// Keyboard access on an X11 session: the tap is an active keyboard grab on the
// root window, on an Xlib connection of its own.
class X11KeyboardAccess final : public KeyboardAccess {
public:
    bool isProcessTrusted() override;
    void promptForTrust() override;
    bool preflightListenAccess() override;
    void requestListenAccess() override;
    std::unique_ptr<EventTap> createTap(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask mask, TapCallback callback,
                                        void* context) override;
    void enableTap(EventTap& tap, bool enable) override;
    std::unique_ptr<RunLoopSource> createRunLoopSource(EventTap& tap) override;
    void addToMainLoop(RunLoopSource& source) override;
    void removeFromMainLoop(RunLoopSource& source) override;
};

} // namespace platform
