// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"
#include "platform/lockd/LockServiceKeyboardAccess.h"
#include "platform/x11/X11KeyboardAccess.h"

namespace platform {

// Keyboard access on Linux: through the keyboard-lock service wherever it is installed,
// in Wayland and X11 sessions alike, and through an X keyboard grab where it is not (which
// refuses outside an X11 session). Chosen anew on every call, so that a service installed,
// started or removed while Tavimo runs is followed; a tap and its source always go back to
// the backend that made them.
class KeyboardAccessRouter final : public KeyboardAccess {
public:
    // The backend that answers now.
    KeyboardAccess& current();
    LockServiceKeyboardAccess& service() { return m_service; }

    bool isProcessTrusted() override { return current().isProcessTrusted(); }
    void promptForTrust() override { current().promptForTrust(); }
    bool preflightListenAccess() override { return current().preflightListenAccess(); }
    void requestListenAccess() override { current().requestListenAccess(); }
    std::unique_ptr<EventTap> createTap(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask mask, TapCallback callback,
                                        void* context) override;
    void enableTap(EventTap& tap, bool enable) override;
    std::unique_ptr<RunLoopSource> createRunLoopSource(EventTap& tap) override;
    void addToMainLoop(RunLoopSource& source) override;
    void removeFromMainLoop(RunLoopSource& source) override;
    bool hasPointingDevice() override { return current().hasPointingDevice(); }
    TapRefusal lastTapRefusal() override { return m_lastTapMaker->lastTapRefusal(); }
    AccessProblem accessProblem() override { return current().accessProblem(); }

private:
    KeyboardAccess& ownerOf(EventTap& tap);
    KeyboardAccess& ownerOf(RunLoopSource& source);

    LockServiceKeyboardAccess m_service;
    X11KeyboardAccess m_x11;
    KeyboardAccess* m_lastTapMaker = &m_x11;
};

} // namespace platform
