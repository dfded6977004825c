// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/Polkit.h"

#include "lockd/BusCall.h"

#include <string_view>

namespace lockd {
namespace {

constexpr const char* kService = "org.freedesktop.PolicyKit1";
constexpr const char* kPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kInterface = "org.freedesktop.PolicyKit1.Authority";
constexpr uint32_t kAllowUserInteraction = 1;
// An interactive check lasts as long as the user takes to type a password.
constexpr uint64_t kInteractiveTimeoutUsec = 300'000'000;
constexpr uint64_t kTimeoutUsec = 25'000'000;

Polkit::Answer answerOf(sd_bus_message* reply)
{
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        // polkit's own errors (a dismissed dialog among them) are a refusal; anything
        // else (no polkit, no answer) means it could not be asked.
        const sd_bus_error* error = sd_bus_message_get_error(reply);
        const std::string_view name = error && error->name ? error->name : "";
        return name.starts_with("org.freedesktop.PolicyKit1.Error.") ? Polkit::Answer::NotAuthorized
                                                                     : Polkit::Answer::Unavailable;
    }
    int authorized = 0;
    int challenge = 0;
    if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") < 0 ||
        sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0)
        return Polkit::Answer::Unavailable;
    if (authorized)
        return Polkit::Answer::Authorized;
    return challenge ? Polkit::Answer::Challenge : Polkit::Answer::NotAuthorized;
}

} // namespace

void Polkit::check(const std::string& busName, bool interactive, AnswerHandler handler)
{
    sd_bus_message* call = newCall(m_bus, kService, kPath, kInterface, "CheckAuthorization");
    const bool built = call &&
                       sd_bus_message_append(call, "(sa{sv})s", "system-bus-name", 1, "name", "s",
                                             busName.c_str(), kAction) >= 0 &&
                       sd_bus_message_append(call, "a{ss}us", 0,
                                             interactive ? kAllowUserInteraction : 0u, "") >= 0;
    // The answer may wait on the user; the call itself must allow that too.
    if (built && interactive)
        sd_bus_message_set_allow_interactive_authorization(call, 1);
    const bool sent =
        built && callAsync(m_bus, call, interactive ? kInteractiveTimeoutUsec : kTimeoutUsec,
                           [handler](sd_bus_message* reply) { handler(answerOf(reply)); });
    sd_bus_message_unref(call);
    if (!sent)
        handler(Answer::Unavailable);
}

bool Polkit::watch(std::function<void()> changed)
{
    m_changed = std::move(changed);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(
            m_bus, &slot, kService, kPath, kInterface, "Changed",
            [](sd_bus_message*, void* data, sd_bus_error*) {
                static_cast<Polkit*>(data)->m_changed();
                return 0;
            },
            this) < 0)
        return false;
    m_changedMatch.reset(slot);
    return true;
}

} // namespace lockd
