// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/Handles.h"
#include "lockd/LockKeeper.h"
#include "lockd/Logind.h"
#include "lockd/Polkit.h"

#include <optional>
#include <string>

#include <sys/types.h>

namespace lockd {

// The service on the system bus: app.tavimo.Tavimo.KeyboardLock1's Lock, CanLock and
// Authorize, and the CanLockChanged signal. It decides who may lock (polkit, a local and
// active logind session, a pointing device, nobody else holding the lock), keeps the lock
// for as long as its holder's descriptor, bus name and session last, and exits when idle.
class LockService {
public:
    static constexpr const char* kBusName = "app.tavimo.Tavimo.KeyboardLock";
    static constexpr const char* kObjectPath = "/app/tavimo/Tavimo/KeyboardLock";
    static constexpr const char* kInterface = "app.tavimo.Tavimo.KeyboardLock1";

    struct Options {
        uint64_t idleExitUsec = 60'000'000; // 0: never
        KeyboardLock::Timing timing;
    };

    LockService(sd_event* loop, DeviceLayer& devices, Options options);
    ~LockService();
    LockService(const LockService&) = delete;
    LockService& operator=(const LockService&) = delete;

    // Connects to the system bus (DBUS_SYSTEM_BUS_ADDRESS names another). Empty on
    // success, otherwise what failed.
    std::string connect();
    // Follows devices, polkit and logind, serves the interface and takes the bus name.
    std::string start();
    sd_bus* bus() const { return m_bus.get(); }
    // Runs until idle for long enough, or SIGTERM (which ends a lock first).
    int run();

private:
    struct Caller {
        std::string name;
        pid_t pid = 0;
        uid_t uid = 0;
    };
    struct Holder {
        Caller caller;
        std::string session;
        BusTrack track;
        MessageRef call;                // Lock(), until answered
        const char* endError = nullptr; // why the service ended it, when it did
        std::string endMessage;
    };

    int lock(sd_bus_message* message, sd_bus_error* error);
    int canLock(sd_bus_message* message, sd_bus_error* error);
    int authorize(sd_bus_message* message, sd_bus_error* error);

    bool callerOf(sd_bus_message* message, Caller& caller, sd_bus_error* error);
    void authorizeCaller(const std::string& name, bool interactive, Polkit::AnswerHandler handler);
    void takeLock(const MessageRef& call, const Caller& caller, const std::string& session);
    void lockTaken(KeyboardLock::Result result, UniqueFd holderEnd, const std::string& why);
    void lockEnded();
    void endLock(const char* error, const std::string& message);
    void sessionsChanged();
    const char* canLockAnswer(const std::string& name, Polkit::Answer answer) const;
    void replyError(const MessageRef& call, const char* error, const std::string& message);
    void callDone();
    void emitCanLockChanged();
    void touch();
    void idleTimeout();
    void terminate();
    void exitWhenDone();

    sd_event* m_loop;
    Options m_options;
    LockKeeper m_keeper;
    Bus m_bus;
    std::optional<Polkit> m_polkit;
    std::optional<Logind> m_logind;
    std::optional<Holder> m_holder;
    BusTrack m_authorized; // callers whose Authorize() succeeded, while they are connected
    BusSlot m_object;
    EventSource m_idle;
    EventSource m_sigterm;
    EventSource m_sigint;
    unsigned m_pendingCalls = 0;
    bool m_exiting = false;
    bool m_nameReleased = false;
    bool m_terminating = false;
};

} // namespace lockd
