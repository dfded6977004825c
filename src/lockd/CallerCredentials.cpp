// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/CallerCredentials.h"

#include "lockd/BusCall.h"

#include <cstring>

namespace lockd {
namespace {

constexpr std::size_t kRemembered = 256;
constexpr std::size_t kAskedAtOnce = 32;
constexpr uint64_t kTimeoutUsec = 5'000'000;

// ProcessID and UnixUserID from GetConnectionCredentials' a{sv}: the daemon's own record,
// never the caller's word, and no augmenting from /proc, which the caller could race.
std::optional<CallerCredentials::Credentials> readCredentials(sd_bus_message* reply)
{
    if (!reply || sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_enter_container(reply, 'a', "{sv}") < 0)
        return std::nullopt;
    bool havePid = false;
    bool haveUid = false;
    CallerCredentials::Credentials credentials;
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* name = nullptr;
        uint32_t value = 0;
        if (sd_bus_message_read(reply, "s", &name) < 0)
            return std::nullopt;
        if (std::strcmp(name, "ProcessID") == 0 &&
            sd_bus_message_read(reply, "v", "u", &value) >= 0) {
            credentials.pid = pid_t(value);
            havePid = true;
        } else if (std::strcmp(name, "UnixUserID") == 0 &&
                   sd_bus_message_read(reply, "v", "u", &value) >= 0) {
            credentials.uid = uid_t(value);
            haveUid = true;
        } else if (sd_bus_message_skip(reply, "v") < 0) {
            return std::nullopt;
        }
        sd_bus_message_exit_container(reply);
    }
    if (!havePid || !haveUid)
        return std::nullopt;
    return credentials;
}

} // namespace

bool CallerCredentials::lookUp(const std::string& name, Handler handler)
{
    if (const auto known = m_known.find(name); known != m_known.end()) {
        handler(known->second);
        return true;
    }
    if (const auto waiting = m_waiting.find(name); waiting != m_waiting.end()) {
        waiting->second.push_back(std::move(handler));
        return true;
    }
    if (m_waiting.size() >= kAskedAtOnce)
        return false;
    m_waiting[name].push_back(std::move(handler));
    sd_bus_message* call = newCall(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetConnectionCredentials");
    const bool sent = call && sd_bus_message_append(call, "s", name.c_str()) >= 0 &&
                      callAsync(m_bus, call, kTimeoutUsec, [this, name](sd_bus_message* reply) {
                          answer(name, readCredentials(reply));
                      });
    sd_bus_message_unref(call);
    if (!sent)
        answer(name, std::nullopt);
    return true;
}

void CallerCredentials::answer(const std::string& name, std::optional<Credentials> credentials)
{
    if (credentials)
        remember(name, *credentials);
    const std::vector<Handler> handlers = std::move(m_waiting[name]);
    m_waiting.erase(name);
    for (const Handler& handler : handlers)
        handler(credentials);
}

void CallerCredentials::remember(const std::string& name, Credentials credentials)
{
    if (!m_known.emplace(name, credentials).second)
        return;
    m_order.push_back(name);
    if (m_order.size() > kRemembered) {
        m_known.erase(m_order.front());
        m_order.pop_front();
    }
}

} // namespace lockd
