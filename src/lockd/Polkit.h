// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/Handles.h"

#include <functional>
#include <string>

namespace lockd {

// Asks polkit whether a caller may lock the keyboard.
class Polkit {
public:
    static constexpr const char* kAction = "app.tavimo.Tavimo.lock-keyboard";

    enum class Answer {
        Authorized,
        Challenge, // polkit would ask the user to authenticate
        NotAuthorized,
        Unavailable, // polkit could not be asked
    };
    using AnswerHandler = std::function<void(Answer)>;

    explicit Polkit(sd_bus* bus) : m_bus(bus) {}

    // The subject is the caller's unique bus name, which polkit resolves through the bus
    // itself: never a process id that could be reused or exec'd away meanwhile.
    // `interactive` lets polkit ask the user, as the caller's message allowed.
    void check(const std::string& busName, bool interactive, AnswerHandler handler);
    // Calls `changed` whenever polkit's rules or authorizations may have changed.
    bool watch(std::function<void()> changed);

private:
    sd_bus* m_bus;
    std::function<void()> m_changed;
    BusSlot m_changedMatch;
};

} // namespace lockd
