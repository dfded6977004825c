// SPDX-License-Identifier: GPL-3.0-or-later

// Does with the keyboard-lock service what Tavimo does: Lock() on the system bus, then a
// heartbeat byte every 500 ms from its main loop while it holds the descriptor.
// Commands on stdin, one answer line each:
//   lock     → "locked MICROSECONDS" or "error NAME MICROSECONDS MESSAGE"
//   canlock  → "canlock ANSWER" or "error NAME 0 MESSAGE"
//   stall    → "ok", the heartbeat stops (as a hung main loop's would)
//   resume   → "ok", the heartbeat starts again at once
//   unlock   → "unlocked", the descriptor is closed
// and, unasked, "told R" or "told L" for each byte the service writes (keyboards given
// back, held again), and "ended" when the service closes its end of the lock.
#include <cerrno>
#include <chrono>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>
#include <unistd.h>

namespace {

constexpr const char* kService = "app.tavimo.Tavimo.KeyboardLock";
constexpr const char* kObject = "/app/tavimo/Tavimo/KeyboardLock";
constexpr const char* kInterface = "app.tavimo.Tavimo.KeyboardLock1";
constexpr uint64_t kHeartbeatUsec = 500'000;
constexpr uint64_t kCallTimeoutUsec = 10'000'000;

class LockClient {
public:
    bool start();
    int run() { return sd_event_loop(m_event); }

private:
    static int onInput(sd_event_source*, int fd, uint32_t, void* self);
    static int onLockEvent(sd_event_source*, int fd, uint32_t, void* self);
    static int onHeartbeat(sd_event_source* source, uint64_t, void* self);

    void handle(const std::string& command);
    void lock();
    void canLock();
    void unlock();
    void beat();

    sd_event* m_event = nullptr;
    sd_bus* m_bus = nullptr;
    sd_event_source* m_lockSource = nullptr;
    sd_event_source* m_heartbeat = nullptr;
    int m_lock = -1;
    bool m_stalled = false;
    std::string m_pending;
};

long long micros(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
}

bool LockClient::start()
{
    if (sd_event_default(&m_event) < 0 || sd_bus_open_system(&m_bus) < 0 ||
        sd_bus_attach_event(m_bus, m_event, 0) < 0)
        return false;
    const char* name = nullptr;
    sd_bus_get_unique_name(m_bus, &name);
    std::cout << "ready " << (name ? name : "?") << std::endl;
    return sd_event_add_io(m_event, nullptr, STDIN_FILENO, EPOLLIN, onInput, this) >= 0;
}

int LockClient::onInput(sd_event_source*, int fd, uint32_t, void* self)
{
    auto* client = static_cast<LockClient*>(self);
    char buffer[256];
    const ssize_t size = ::read(fd, buffer, sizeof buffer);
    if (size <= 0)
        return sd_event_exit(client->m_event, 0);
    client->m_pending.append(buffer, static_cast<size_t>(size));
    for (size_t end; (end = client->m_pending.find('\n')) != std::string::npos;) {
        const std::string command = client->m_pending.substr(0, end);
        client->m_pending.erase(0, end + 1);
        client->handle(command);
    }
    return 0;
}

void LockClient::handle(const std::string& command)
{
    if (command == "lock") {
        lock();
    } else if (command == "canlock") {
        canLock();
    } else if (command == "stall" || command == "resume") {
        m_stalled = command == "stall";
        if (!m_stalled)
            beat();
        std::cout << "ok" << std::endl;
    } else if (command == "unlock") {
        unlock();
        std::cout << "unlocked" << std::endl;
    } else {
        std::cout << "error unknown-command 0 " << command << std::endl;
    }
}

void LockClient::lock()
{
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message_new_method_call(m_bus, &call, kService, kObject, kInterface, "Lock");
    const auto started = std::chrono::steady_clock::now();
    const int result = sd_bus_call(m_bus, call, kCallTimeoutUsec, &error, &reply);
    const long long took = micros(std::chrono::steady_clock::now() - started);
    int fd = -1;
    if (result >= 0 && sd_bus_message_read(reply, "h", &fd) >= 0)
        m_lock = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (m_lock >= 0) {
        sd_event_add_io(m_event, &m_lockSource, m_lock, EPOLLIN | EPOLLRDHUP, onLockEvent, this);
        sd_event_add_time_relative(m_event, &m_heartbeat, CLOCK_MONOTONIC, kHeartbeatUsec, 0,
                                   onHeartbeat, this);
        std::cout << "locked " << took << std::endl;
    } else {
        std::cout << "error " << (error.name ? error.name : "no-descriptor") << ' ' << took << ' '
                  << (error.message ? error.message : "") << std::endl;
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
}

void LockClient::canLock()
{
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const char* answer = nullptr;
    if (sd_bus_call_method(m_bus, kService, kObject, kInterface, "CanLock", &error, &reply, "") >=
            0 &&
        sd_bus_message_read(reply, "s", &answer) >= 0)
        std::cout << "canlock " << answer << std::endl;
    else
        std::cout << "error " << (error.name ? error.name : "bad-reply") << " 0 "
                  << (error.message ? error.message : "") << std::endl;
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
}

void LockClient::unlock()
{
    m_lockSource = sd_event_source_disable_unref(m_lockSource);
    m_heartbeat = sd_event_source_disable_unref(m_heartbeat);
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

void LockClient::beat()
{
    if (m_lock < 0 || m_stalled)
        return;
    const char byte = 1;
    // A closed peer shows as an error here as well as on the descriptor's watch.
    if (::send(m_lock, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN) {
        unlock();
        std::cout << "ended" << std::endl;
    }
}

int LockClient::onHeartbeat(sd_event_source* source, uint64_t, void* self)
{
    static_cast<LockClient*>(self)->beat();
    sd_event_source_set_time_relative(source, kHeartbeatUsec);
    return sd_event_source_set_enabled(source, SD_EVENT_ONESHOT);
}

int LockClient::onLockEvent(sd_event_source*, int fd, uint32_t events, void* self)
{
    auto* client = static_cast<LockClient*>(self);
    char buffer[64];
    const ssize_t size = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    for (ssize_t i = 0; i < size; ++i)
        std::cout << "told " << buffer[i] << std::endl;
    if (size == 0 || (events & (EPOLLHUP | EPOLLRDHUP)) || (size < 0 && errno != EAGAIN)) {
        client->unlock();
        std::cout << "ended" << std::endl;
    }
    return 0;
}

} // namespace

int main()
{
    LockClient client;
    if (!client.start()) {
        std::cout << "error no-system-bus 0 cannot connect to the system bus" << std::endl;
        return 1;
    }
    return client.run() < 0 ? 1 : 0;
}
