// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/Handles.h"

#include <functional>
#include <string>

#include <sys/types.h>

namespace lockd {

// Asks systemd-logind which session a caller is in, and whether it is local, active and
// unlocked.
class Logind {
public:
    struct Session {
        std::string path;    // empty when the caller has none
        std::string seat;    // empty for a session at no seat (ssh, a container)
        bool usable = false; // at a seat, active, unlocked and the caller's own user's
        bool locked = false; // a screen locker holds it (LockedHint)
    };
    using SessionHandler = std::function<void(const Session&)>;

    explicit Logind(sd_bus* bus) : m_bus(bus) {}

    // The session of the process that opened the caller's bus connection. Programs that
    // desktops start in systemd user scopes belong to no session: for them it is their
    // user's display session, as polkit also takes it.
    void findSession(pid_t pid, uid_t uid, SessionHandler handler);
    // Whether `path` is (still) at a seat, active, unlocked and `uid`'s.
    void checkSession(const std::string& path, uid_t uid, SessionHandler handler);
    // Calls `changed` when a session or seat turns active or inactive, a session is locked
    // or goes, and `locked` with the session's path when a session is told to lock.
    bool watch(std::function<void()> changed, std::function<void(const std::string&)> locked);

private:
    void findDisplaySession(uid_t uid, SessionHandler handler);

    sd_bus* m_bus;
    std::function<void()> m_changed;
    std::function<void(const std::string&)> m_locked;
    BusSlot m_propertiesMatch;
    BusSlot m_removedMatch;
    BusSlot m_lockMatch;
};

} // namespace lockd
