// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <memory>

namespace platform {

class LockServiceRunLoopSource;

// A keyboard lock held by the keyboard-lock service: it lasts while the descriptor that
// Lock() returned stays open. While installed in the main loop, the tap writes one byte
// to it every 500 ms from the main thread, so that the service can tell a stalled Tavimo
// (it gives the keyboard back after 2 s without one) from a live one; and it watches for
// the service closing its end, which means the lock has ended for good.
//
// The service never sends key contents, so the callback hears only that the lock ended.
class LockServiceTap final : public EventTap {
public:
    static constexpr std::chrono::milliseconds kHeartbeatInterval{500};

    // Takes over fd, one end of the lock's socket pair.
    LockServiceTap(int fd, TapCallback callback, void* context);
    // Closes the descriptor: the service gives the keyboard back.
    ~LockServiceTap() override;
    LockServiceTap(const LockServiceTap&) = delete;
    LockServiceTap& operator=(const LockServiceTap&) = delete;

    // Disabling lets the lock go; a lock let go cannot be enabled again.
    void setEnabled(bool enable);
    bool isHeld() const { return m_fd >= 0; }
    void setInstalled(bool installed);

    // One source at a time; a newer one replaces (and detaches) the older.
    void attachSource(LockServiceRunLoopSource* source);
    void detachSource(LockServiceRunLoopSource* source);

private:
    void beat();
    void readHangup();
    void endedByService();
    void closeDescriptor();

    int m_fd;
    const TapCallback m_callback;
    void* const m_context;
    QTimer m_heartbeat;
    QSocketNotifier m_hangup;
    LockServiceRunLoopSource* m_source = nullptr;
    // Lets a notice already posted to the main loop find out that the tap is gone.
    std::shared_ptr<LockServiceTap*> m_self;
};

} // namespace platform
