// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"
#include "platform/lockd/LockServiceWatcher.h"

namespace platform {

// Keyboard access through the keyboard-lock service (tavimo-lockd), a system service that
// grabs every keyboard device in the kernel, below any display server: it locks Wayland
// and X11 sessions alike, console switching included.
//
// Trust is the service's cached CanLock() answer being "yes"; asking for trust is the
// service's Authorize(), which lets polkit ask the user to authenticate. A tap is a Lock()
// call: the descriptor it returns holds the lock (see LockServiceTap).
class LockServiceKeyboardAccess final : public KeyboardAccess {
public:
    // Lock() waits for every key to be up before each grab; this bounds the whole call,
    // a start of the service on demand included.
    static constexpr int kLockTimeoutMs = 3000;
    // Authentication waits on the user typing a password.
    static constexpr int kAuthorizeTimeoutMs = 10 * 60 * 1000;

    // Starts following the service on the bus; returns at once.
    LockServiceKeyboardAccess();

    // The service is activatable or running, as far as is known now.
    bool isInstalled() const;
    LockServiceWatcher& watcher() { return m_watcher; }

    bool isProcessTrusted() override;
    // Asks the service to authorize this connection, polkit's dialog allowed; returns at
    // once. When that does not make the lock possible, the help says what is missing.
    void promptForTrust() override;
    bool preflightListenAccess() override;
    void requestListenAccess() override;
    // Blocks for Lock()'s reply, at most kLockTimeoutMs; nullptr when it is refused.
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

private:
    TapRefusal lock(int& fd);

    LockServiceWatcher m_watcher;
    TapRefusal m_lastRefusal = TapRefusal::None;
};

} // namespace platform
