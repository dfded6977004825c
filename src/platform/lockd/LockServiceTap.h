// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <chrono>
#include <memory>
#include <thread>

namespace platform {

class LockServiceRunLoopSource;

// A keyboard lock held by the keyboard-lock service: it lasts while the descriptor that
// Lock() returned stays open. While installed, a thread of the tap's own writes one byte
// to it every 500 ms, so that the service can tell a stalled Tavimo (it gives the keyboard
// back after 2 s without one) from a live one. The thread never waits on the main thread,
// which can block for seconds inside the display server's buffer handling.
//
// The service writes one byte when it gives the keyboards back for a while ('R') and one
// when it holds them again ('L'); its end closing means the lock has ended for good. The
// callback hears each of these from the main loop.
class LockServiceTap final : public EventTap {
public:
    static constexpr std::chrono::milliseconds kHeartbeatInterval{500};
    static constexpr char kReleasedByService = 'R';
    static constexpr char kRetakenByService = 'L';

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
    enum class Notice { Released, Retaken, Ended };

    void startBeating();
    void stopBeating();
    // The heartbeat thread's loop; returns when woken or when the lock has ended.
    static void beatUntilStopped(int fd, int wake, std::weak_ptr<LockServiceTap*> self);
    static void post(const std::weak_ptr<LockServiceTap*>& self, Notice notice);
    void heard(Notice notice);
    void closeDescriptor();

    int m_fd;
    const TapCallback m_callback;
    void* const m_context;
    int m_wake = -1; // an eventfd that ends the heartbeat thread
    std::thread m_beater;
    LockServiceRunLoopSource* m_source = nullptr;
    // Lets a notice already posted to the main loop find out that the tap is gone.
    std::shared_ptr<LockServiceTap*> m_self;
};

} // namespace platform
