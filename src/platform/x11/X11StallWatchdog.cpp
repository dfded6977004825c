// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11StallWatchdog.h"

#include <optional>

#include <poll.h>

X11StallWatchdog::X11StallWatchdog(int fd, Clock::duration bound, std::function<void()> onStall)
    : m_fd(fd), m_bound(bound), m_onStall(std::move(onStall)), m_thread([this] { run(); })
{
}

X11StallWatchdog::~X11StallWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool X11StallWatchdog::hasUnreadInput() const
{
    // poll() only looks: the bytes stay for Xlib on the main thread to read.
    pollfd watched{m_fd, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN);
}

void X11StallWatchdog::run()
{
    struct Waiting {
        std::uint64_t progress;
        Clock::time_point since;
    };
    std::optional<Waiting> waiting;

    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, kTick, [this] { return m_quit; })) {
        if (!hasUnreadInput()) {
            waiting.reset();
            continue;
        }
        const auto progress = m_progress.load(std::memory_order_relaxed);
        const auto now = Clock::now();
        if (!waiting || waiting->progress != progress) {
            waiting = Waiting{progress, now};
            continue;
        }
        if (now - waiting->since >= m_bound) {
            waiting.reset();
            // Not under our lock, so that the owner may destroy us while it waits.
            lock.unlock();
            m_onStall();
            lock.lock();
        }
    }
}
