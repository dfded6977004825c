// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <memory>
#include <utility>

#include <unistd.h>

namespace lockd {

// Owning handles for what the service keeps open: closed or let go when they go.

struct EventSourceRelease {
    void operator()(sd_event_source* source) const { sd_event_source_disable_unref(source); }
};
using EventSource = std::unique_ptr<sd_event_source, EventSourceRelease>;

struct BusSlotRelease {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using BusSlot = std::unique_ptr<sd_bus_slot, BusSlotRelease>;

struct BusTrackRelease {
    void operator()(sd_bus_track* track) const { sd_bus_track_unref(track); }
};
using BusTrack = std::unique_ptr<sd_bus_track, BusTrackRelease>;

struct BusRelease {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusRelease>;

struct EventLoopRelease {
    void operator()(sd_event* loop) const { sd_event_unref(loop); }
};
using EventLoop = std::unique_ptr<sd_event, EventLoopRelease>;

// A counted reference to a bus message, so that a call can be answered later.
class MessageRef {
public:
    MessageRef() = default;
    explicit MessageRef(sd_bus_message* message) : m_message(sd_bus_message_ref(message)) {}
    MessageRef(const MessageRef& other) : m_message(sd_bus_message_ref(other.m_message)) {}
    MessageRef(MessageRef&& other) noexcept : m_message(std::exchange(other.m_message, nullptr)) {}
    MessageRef& operator=(MessageRef other) noexcept
    {
        std::swap(m_message, other.m_message);
        return *this;
    }
    ~MessageRef() { sd_bus_message_unref(m_message); }

    sd_bus_message* get() const { return m_message; }

private:
    sd_bus_message* m_message = nullptr;
};

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

} // namespace lockd
