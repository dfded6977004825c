// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/Handles.h"

#include <functional>
#include <string>

#include <sys/types.h>

namespace lockd {

// Asks systemd-logind which session a caller is in, and whether it is local and active.
class Logind {
public:
    struct Session {
        std::string path;    // empty when the caller has none
        bool usable = false; // local, active and the caller's own user's
    };
    using SessionHandler = std::function<void(const Session&)>;

    explicit Logind(sd_bus* bus) : m_bus(bus) {}

    // The session of the process that opened the caller's bus connection. Programs that
    // desktops start in systemd user scopes belong to no session: for them it is their
    // user's display session, as polkit also takes it.
    void findSession(pid_t pid, uid_t uid, SessionHandler handler);
    // Whether `path` is (still) local, active and `uid`'s.
    void checkSession(const std::string& path, uid_t uid, SessionHandler handler);
    // Calls `changed` when a session or seat turns active or inactive, or a session goes.
    bool watch(std::function<void()> changed);

private:
    void findDisplaySession(uid_t uid, SessionHandler handler);

    sd_bus* m_bus;
    std::function<void()> m_changed;
    BusSlot m_propertiesMatch;
    BusSlot m_removedMatch;
};

} // namespace lockd
