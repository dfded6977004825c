// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Watches a connection from a thread of its own: when input has been waiting on the
// connection for `bound` while the main thread made no progress reading it, calls
// onStall on the watchdog thread. A stalled main thread must never keep the keyboard.
class X11StallWatchdog {
public:
    using Clock = std::chrono::steady_clock;

    X11StallWatchdog(int fd, Clock::duration bound, std::function<void()> onStall);
    ~X11StallWatchdog();
    X11StallWatchdog(const X11StallWatchdog&) = delete;
    X11StallWatchdog& operator=(const X11StallWatchdog&) = delete;

    // Called by the reader for every event it handles; one relaxed atomic increment.
    void noteProgress() { m_progress.fetch_add(1, std::memory_order_relaxed); }

    // How often the watchdog looks; a stall is acted on within bound + two ticks.
    static constexpr std::chrono::milliseconds kTick{100};

private:
    void run();
    bool hasUnreadInput() const;

    const int m_fd;
    const Clock::duration m_bound;
    const std::function<void()> m_onStall;
    std::atomic<std::uint64_t> m_progress{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    std::thread m_thread; // last: starts once everything above exists
};
