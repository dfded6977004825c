// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/CallerCredentials.h"
#include "lockd/Handles.h"
#include "lockd/LockKeeper.h"
#include "lockd/Logind.h"
#include "lockd/Polkit.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

#include <sys/types.h>

namespace lockd {

// The service on the system bus: app.tavimo.Tavimo.KeyboardLock1's Lock, CanLock and
// Authorize, and the CanLockChanged signal. It decides who may lock (polkit, a local and
// active logind session at a seat, a pointing device there, nobody else holding the lock),
// keeps the lock for as long as its holder's descriptor, bus name and unlocked session last,
// and exits when idle. Each connection and each user has a budget of calls in progress, so
// that nobody can swell the service or starve its other callers.
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
    // A call in progress, counted against its connection's and its user's budgets.
    struct Call {
        MessageRef message;
        Caller caller;
        bool userCounted = false;
    };
    using Admitted = std::function<void(const Call&)>;
    struct Holder {
        uint64_t serial = 0;
        Caller caller;
        std::string session;
        std::string seat;
        BusTrack track;
        std::optional<Call> call;       // Lock(), until answered
        const char* endError = nullptr; // why the service ended it, when it did
        std::string endMessage;
    };

    int lock(sd_bus_message* message, sd_bus_error* error);
    int canLock(sd_bus_message* message, sd_bus_error* error);
    int authorize(sd_bus_message* message, sd_bus_error* error);

    int admit(sd_bus_message* message, sd_bus_error* error, Admitted admitted);
    void authorizeCaller(const std::string& name, bool interactive, Polkit::AnswerHandler handler);
    void forgetAuthorizations();
    void refuseSession(const Call& call, const Logind::Session& session);
    void takeLock(const Call& call, const Logind::Session& session);
    void lockTaken(KeyboardLock::Result result, UniqueFd holderEnd, const std::string& why);
    void handOver(uint64_t serial, const Logind::Session& session, int holderEnd);
    void lockEnded();
    void endLock(const char* error, const std::string& message);
    void sessionsChanged();
    void sessionLocked(const std::string& path);
    const char* canLockAnswer(const std::string& name, const std::string& seat,
                              Polkit::Answer answer) const;
    void replyError(const Call& call, const char* error, const std::string& message);
    void callDone(const Call& call);
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
    std::optional<CallerCredentials> m_credentials;
    std::optional<Holder> m_holder;
    uint64_t m_serial = 0;
    BusTrack m_authorized; // callers whose Authorize() succeeded, while they are connected
    BusSlot m_object;
    EventSource m_idle;
    EventSource m_sigterm;
    EventSource m_sigint;
    unsigned m_pendingCalls = 0;
    std::map<std::string, unsigned> m_pendingByName;
    std::map<uid_t, unsigned> m_pendingByUser;
    bool m_idleDue = false; // idle for long enough, waiting for the calls in progress
    bool m_exiting = false;
    bool m_nameReleased = false;
    bool m_terminating = false;
};

} // namespace lockd
