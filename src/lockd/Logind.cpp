// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/Logind.h"

#include "lockd/BusCall.h"

#include <cstring>

namespace lockd {
namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr uint64_t kTimeoutUsec = 10'000'000;

// Sends a call built by `append` and hands its reply on; an unsent call is a failed one.
void call(sd_bus* bus, const char* path, const char* interface, const char* member,
          const std::function<int(sd_bus_message*)>& append, ReplyHandler handler)
{
    sd_bus_message* message = newCall(bus, kService, path, interface, member);
    const bool sent =
        message && append(message) >= 0 && callAsync(bus, message, kTimeoutUsec, handler);
    sd_bus_message_unref(message);
    if (!sent)
        handler(nullptr);
}

bool failed(sd_bus_message* reply)
{
    return !reply || sd_bus_message_is_method_error(reply, nullptr);
}

// Active, Remote, Seat, LockedHint and User's uid from a GetAll reply. polkit calls a
// session local only when it has a seat, and so does this.
void readSession(sd_bus_message* reply, uid_t uid, Logind::Session& session)
{
    bool active = false;
    bool remote = true;
    bool own = false;
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0)
        return;
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(reply, "s", &name) < 0)
            return;
        int flag = 0;
        uint32_t owner = 0;
        const char* seat = nullptr;
        if (std::strcmp(name, "Active") == 0 && sd_bus_message_read(reply, "v", "b", &flag) >= 0)
            active = flag;
        else if (std::strcmp(name, "Remote") == 0 &&
                 sd_bus_message_read(reply, "v", "b", &flag) >= 0)
            remote = flag;
        else if (std::strcmp(name, "User") == 0 &&
                 sd_bus_message_read(reply, "v", "(uo)", &owner, nullptr) >= 0)
            own = owner == uid;
        else if (std::strcmp(name, "Seat") == 0 &&
                 sd_bus_message_read(reply, "v", "(so)", &seat, nullptr) >= 0)
            session.seat = seat;
        else if (std::strcmp(name, "LockedHint") == 0 &&
                 sd_bus_message_read(reply, "v", "b", &flag) >= 0)
            session.locked = flag;
        else if (sd_bus_message_skip(reply, "v") < 0)
            return;
        sd_bus_message_exit_container(reply);
    }
    session.usable = active && !remote && own && !session.seat.empty() && !session.locked;
}

// True when a PropertiesChanged names a session's Active or LockedHint, or a seat's
// ActiveSession.
bool namesActivity(sd_bus_message* signal)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(signal, "s", &interface) < 0 ||
        sd_bus_message_enter_container(signal, 'a', "{sv}") < 0)
        return false;
    auto isActivity = [](const char* name) {
        return std::strcmp(name, "Active") == 0 || std::strcmp(name, "ActiveSession") == 0 ||
               std::strcmp(name, "LockedHint") == 0;
    };
    bool found = false;
    while (sd_bus_message_enter_container(signal, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(signal, "s", &name) < 0 || sd_bus_message_skip(signal, "v") < 0)
            return false;
        found = found || isActivity(name);
        sd_bus_message_exit_container(signal);
    }
    sd_bus_message_exit_container(signal);
    const char* invalidated = nullptr;
    if (sd_bus_message_enter_container(signal, 'a', "s") < 0)
        return found;
    while (sd_bus_message_read(signal, "s", &invalidated) > 0)
        found = found || isActivity(invalidated);
    return found;
}

} // namespace

// Why a process id is good enough here, where polkit insists on the bus name: the pid and
// uid come from the bus daemon, which took them from the kernel (SO_PEERCRED) when the
// caller connected; they are not the caller's word. They only choose which session must
// be active, never grant anything (polkit decides that, on the bus name), and that
// session must belong to the connection's own uid: were the process gone and its pid
// reused by another user's process, the session found would not be the caller's and the
// lock would be refused.
void Logind::findSession(pid_t pid, uid_t uid, SessionHandler handler)
{
    call(
        m_bus, kPath, kManager, "GetSessionByPID",
        [pid](sd_bus_message* m) { return sd_bus_message_append(m, "u", uint32_t(pid)); },
        [this, uid, handler](sd_bus_message* reply) {
            const char* path = nullptr;
            if (failed(reply) || sd_bus_message_read(reply, "o", &path) < 0) {
                findDisplaySession(uid, handler);
                return;
            }
            checkSession(path, uid, handler);
        });
}

void Logind::findDisplaySession(uid_t uid, SessionHandler handler)
{
    call(
        m_bus, kPath, kManager, "GetUser",
        [uid](sd_bus_message* m) { return sd_bus_message_append(m, "u", uint32_t(uid)); },
        [this, uid, handler](sd_bus_message* reply) {
            const char* user = nullptr;
            if (failed(reply) || sd_bus_message_read(reply, "o", &user) < 0) {
                handler({});
                return;
            }
            call(
                m_bus, user, kProperties, "Get",
                [](sd_bus_message* m) {
                    return sd_bus_message_append(m, "ss", "org.freedesktop.login1.User", "Display");
                },
                [this, uid, handler](sd_bus_message* reply) {
                    const char* path = nullptr;
                    if (failed(reply) ||
                        sd_bus_message_read(reply, "v", "(so)", nullptr, &path) < 0 ||
                        std::strcmp(path, "/") == 0) {
                        handler({});
                        return;
                    }
                    checkSession(path, uid, handler);
                });
        });
}

void Logind::checkSession(const std::string& path, uid_t uid, SessionHandler handler)
{
    call(
        m_bus, path.c_str(), kProperties, "GetAll",
        [](sd_bus_message* m) { return sd_bus_message_append(m, "s", kSession); },
        [path, uid, handler](sd_bus_message* reply) {
            Session session;
            session.path = path;
            if (!failed(reply))
                readSession(reply, uid, session);
            handler(session);
        });
}

bool Logind::watch(std::function<void()> changed, std::function<void(const std::string&)> locked)
{
    m_changed = std::move(changed);
    m_locked = std::move(locked);
    sd_bus_slot* properties = nullptr;
    sd_bus_slot* removed = nullptr;
    sd_bus_slot* lock = nullptr;
    const bool watching =
        sd_bus_match_signal(
            m_bus, &properties, kService, nullptr, kProperties, "PropertiesChanged",
            [](sd_bus_message* signal, void* data, sd_bus_error*) {
                if (namesActivity(signal))
                    static_cast<Logind*>(data)->m_changed();
                return 0;
            },
            this) >= 0 &&
        sd_bus_match_signal(
            m_bus, &removed, kService, kPath, kManager, "SessionRemoved",
            [](sd_bus_message*, void* data, sd_bus_error*) {
                static_cast<Logind*>(data)->m_changed();
                return 0;
            },
            this) >= 0 &&
        // What loginctl lock-session sends before the screen locker is up: the lock must
        // end now, so that its password can be typed.
        sd_bus_match_signal(
            m_bus, &lock, kService, nullptr, kSession, "Lock",
            [](sd_bus_message* signal, void* data, sd_bus_error*) {
                static_cast<Logind*>(data)->m_locked(sd_bus_message_get_path(signal));
                return 0;
            },
            this) >= 0;
    m_propertiesMatch.reset(properties);
    m_removedMatch.reset(removed);
    m_lockMatch.reset(lock);
    return watching;
}

} // namespace lockd
