// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <systemd/sd-bus.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace lockd {

// The pid and uid of a bus connection, asked of the bus daemon without waiting for its
// answer, and kept per unique name: unique names are never reused on a bus, and what the
// daemon recorded when the connection was made (SO_PEERCRED) does not change.
class CallerCredentials {
public:
    struct Credentials {
        pid_t pid = 0;
        uid_t uid = 0;
    };
    // Empty when the daemon could not tell (the caller left meanwhile).
    using Handler = std::function<void(std::optional<Credentials>)>;

    explicit CallerCredentials(sd_bus* bus) : m_bus(bus) {}

    // Answers at once for a name seen before, otherwise from the loop once the daemon has.
    // False, and no answer, while too many names wait for the daemon: a flood of new
    // connections must not fill the daemon's queue of replies owed to this service.
    bool lookUp(const std::string& name, Handler handler);

private:
    void answer(const std::string& name, std::optional<Credentials> credentials);
    void remember(const std::string& name, Credentials credentials);

    sd_bus* m_bus;
    std::map<std::string, Credentials> m_known;
    std::deque<std::string> m_order; // oldest first, so that the cache stays small
    std::map<std::string, std::vector<Handler>> m_waiting; // one question per name
};

} // namespace lockd
