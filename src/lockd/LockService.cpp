// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/LockService.h"

#include <systemd/sd-daemon.h>

#include <csignal>
#include <cstring>

namespace lockd {
namespace {

constexpr const char* kNotAuthorized = "app.tavimo.Tavimo.KeyboardLock1.Error.NotAuthorized";
constexpr const char* kSessionNotActive = "app.tavimo.Tavimo.KeyboardLock1.Error.SessionNotActive";
constexpr const char* kNoPointer = "app.tavimo.Tavimo.KeyboardLock1.Error.NoPointer";
constexpr const char* kBusy = "app.tavimo.Tavimo.KeyboardLock1.Error.Busy";
constexpr const char* kAlreadyLocked = "app.tavimo.Tavimo.KeyboardLock1.Error.AlreadyLocked";
constexpr const char* kKeysHeld = "app.tavimo.Tavimo.KeyboardLock1.Error.KeysHeld";
constexpr const char* kFailed = "app.tavimo.Tavimo.KeyboardLock1.Error.Failed";

// Calls in progress at once: Tavimo needs two or three; a stranger's flood is turned away
// before it costs memory or fills the bus daemon's queue of replies owed to the service.
constexpr unsigned kPendingPerConnection = 8;
constexpr unsigned kPendingPerUser = 24;

template <int (LockService::*method)(sd_bus_message*, sd_bus_error*)>
int dispatch(sd_bus_message* message, void* data, sd_bus_error* error)
{
    return (static_cast<LockService*>(data)->*method)(message, error);
}

} // namespace

LockService::LockService(sd_event* loop, DeviceLayer& devices, Options options)
    : m_loop(loop), m_options(options), m_keeper(loop, devices, options.timing)
{
}

LockService::~LockService() = default;

std::string LockService::connect()
{
    sd_bus* bus = nullptr;
    if (const int error = sd_bus_open_system(&bus); error < 0)
        return std::string("cannot connect to the system bus: ") + std::strerror(-error);
    m_bus.reset(bus);
    if (const int error = sd_bus_attach_event(bus, m_loop, SD_EVENT_PRIORITY_NORMAL); error < 0)
        return std::string("cannot serve the bus: ") + std::strerror(-error);
    m_polkit.emplace(bus);
    m_logind.emplace(bus);
    m_credentials.emplace(bus);
    return {};
}

std::string LockService::start()
{
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Lock", "", "h", &dispatch<&LockService::lock>, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("CanLock", "", "s", &dispatch<&LockService::canLock>,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Authorize", "", "", &dispatch<&LockService::authorize>,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("CanLockChanged", "", 0),
        SD_BUS_VTABLE_END,
    };
    sd_bus* bus = m_bus.get();
    sd_bus_slot* object = nullptr;
    sd_bus_track* authorized = nullptr;
    if (sd_bus_add_object_vtable(bus, &object, kObjectPath, kInterface, vtable, this) < 0 ||
        sd_bus_track_new(bus, &authorized, nullptr, nullptr) < 0)
        return "cannot serve the interface";
    m_object.reset(object);
    m_authorized.reset(authorized);

    if (!m_polkit->watch([this] {
            forgetAuthorizations();
            emitCanLockChanged();
        }) ||
        !m_logind->watch([this] { sessionsChanged(); },
                         [this](const std::string& path) { sessionLocked(path); }))
        return "cannot follow polkit and logind";
    m_keeper.pointerPresenceChanged = [this] {
        emitCanLockChanged();
    };
    if (!m_keeper.start())
        return "cannot follow the input devices";

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    sd_event_source* sigterm = nullptr;
    sd_event_source* sigint = nullptr;
    auto onSignal = [](sd_event_source*, const signalfd_siginfo*, void* data) {
        static_cast<LockService*>(data)->terminate();
        return 0;
    };
    if (sd_event_add_signal(m_loop, &sigterm, SIGTERM, onSignal, this) < 0 ||
        sd_event_add_signal(m_loop, &sigint, SIGINT, onSignal, this) < 0)
        return "cannot handle SIGTERM";
    m_sigterm.reset(sigterm);
    m_sigint.reset(sigint);

    if (m_options.idleExitUsec > 0) {
        sd_event_source* idle = nullptr;
        if (sd_event_add_time_relative(
                m_loop, &idle, CLOCK_MONOTONIC, m_options.idleExitUsec, 0,
                [](sd_event_source*, uint64_t, void* data) {
                    static_cast<LockService*>(data)->idleTimeout();
                    return 0;
                },
                this) < 0)
            return "cannot time the idle exit";
        m_idle.reset(idle);
    }
    if (const int error = sd_bus_request_name(bus, kBusName, 0); error < 0)
        return std::string("cannot own ") + kBusName + ": " + std::strerror(-error);
    return {};
}

int LockService::run()
{
    return sd_event_loop(m_loop);
}

// How a lock is granted: the caller's session first (an inactive session is also why
// polkit would say no, and the more useful answer), then polkit, then the session again,
// since polkit's answer may come much later (a password typed), then the devices of the
// session's seat, and the session once more when they are held. Only then is anything
// told of another lock, so that strangers learn nothing of it.
int LockService::lock(sd_bus_message* message, sd_bus_error* error)
{
    const bool interactive = sd_bus_message_get_allow_interactive_authorization(message) > 0;
    return admit(message, error, [this, interactive](const Call& call) {
        m_logind->findSession(
            call.caller.pid, call.caller.uid, [=, this](const Logind::Session& session) {
                if (!session.usable) {
                    refuseSession(call, session);
                    return;
                }
                authorizeCaller(call.caller.name, interactive, [=, this](Polkit::Answer answer) {
                    switch (answer) {
                    case Polkit::Answer::Authorized:
                        touch();
                        m_logind->checkSession(session.path, call.caller.uid,
                                               [=, this](const Logind::Session& now) {
                                                   if (now.usable)
                                                       takeLock(call, now);
                                                   else
                                                       refuseSession(call, now);
                                               });
                        return;
                    case Polkit::Answer::Challenge:
                        touch();
                        replyError(call, kNotAuthorized,
                                   "Authentication is required to lock the keyboard.");
                        return;
                    case Polkit::Answer::NotAuthorized:
                        replyError(call, kNotAuthorized, "Not authorized to lock the keyboard.");
                        return;
                    case Polkit::Answer::Unavailable:
                        replyError(call, kFailed, "polkit could not be asked.");
                        return;
                    }
                });
            });
    });
}

void LockService::refuseSession(const Call& call, const Logind::Session& session)
{
    replyError(call, kSessionNotActive,
               session.locked ? "The caller's session is locked."
                              : "The caller's session is not active at this machine.");
}

void LockService::takeLock(const Call& call, const Logind::Session& session)
{
    if (m_holder) {
        replyError(call, kAlreadyLocked, "Another caller holds the keyboard lock.");
        return;
    }
    Holder& holder = m_holder.emplace();
    holder.serial = ++m_serial;
    holder.caller = call.caller;
    holder.session = session.path;
    holder.seat = session.seat;
    holder.call = call;
    // The lock ends when its holder leaves the bus, whatever became of its descriptor.
    sd_bus_track* track = nullptr;
    if (sd_bus_track_new(
            m_bus.get(), &track,
            [](sd_bus_track*, void* data) {
                static_cast<LockService*>(data)->endLock(kFailed, "The caller left the bus.");
                return 1;
            },
            this) < 0 ||
        (holder.track.reset(track), sd_bus_track_add_name(track, call.caller.name.c_str()) < 0)) {
        m_holder.reset();
        replyError(call, kFailed, "The caller left the bus.");
        return;
    }
    const LockKeeper::Refusal refused = m_keeper.take(
        session.seat,
        [this](KeyboardLock::Result result, UniqueFd holderEnd, const std::string& why) {
            lockTaken(result, std::move(holderEnd), why);
        },
        [this] { lockEnded(); });
    if (refused != LockKeeper::Refusal::None) {
        m_holder.reset();
        if (refused == LockKeeper::Refusal::NoPointer)
            replyError(call, kNoPointer, "No pointing device is present to unlock with.");
        else
            replyError(call, kAlreadyLocked, "The previous lock is still ending.");
        return;
    }
    emitCanLockChanged();
}

void LockService::lockTaken(KeyboardLock::Result result, UniqueFd holderEnd, const std::string& why)
{
    if (result == KeyboardLock::Result::Locked) {
        // Taking the keyboards may have waited for keys to come up: look at the session
        // once more before the caller learns that it holds them.
        auto held = std::make_shared<UniqueFd>(std::move(holderEnd));
        const uint64_t serial = m_holder->serial;
        m_logind->checkSession(m_holder->session, m_holder->caller.uid,
                               [this, serial, held](const Logind::Session& session) {
                                   handOver(serial, session, held->get());
                               });
        return;
    }
    const Call call = *std::exchange(m_holder->call, std::nullopt);
    const char* error = kFailed;
    std::string message = why;
    if (result == KeyboardLock::Result::Busy) {
        error = kBusy;
    } else if (result == KeyboardLock::Result::KeyHeld) {
        error = kKeysHeld;
    } else if (result == KeyboardLock::Result::Ended && m_holder->endError) {
        error = m_holder->endError;
        message = m_holder->endMessage;
    } else if (result == KeyboardLock::Result::Ended && !m_keeper.hasPointer(m_holder->seat)) {
        error = kNoPointer;
        message = "The last pointing device went away.";
    }
    m_holder.reset();
    replyError(call, error, message);
    emitCanLockChanged();
}

void LockService::handOver(uint64_t serial, const Logind::Session& session, int holderEnd)
{
    // Ended meanwhile: lockEnded() has answered the call.
    if (!m_holder || m_holder->serial != serial || !m_holder->call)
        return;
    if (!session.usable) {
        endLock(kSessionNotActive, session.locked ? "The caller's session was locked."
                                                  : "The caller's session is no longer active.");
        return;
    }
    const Call call = *std::exchange(m_holder->call, std::nullopt);
    // The reply carries a duplicate; ours closes when the last handler copy goes, so the
    // caller's copy is the only one and its closing ends the lock.
    if (sd_bus_reply_method_return(call.message.get(), "h", holderEnd) < 0)
        endLock(kFailed, "The descriptor could not be handed over.");
    callDone(call);
}

void LockService::lockEnded()
{
    if (m_holder && m_holder->call) {
        const Call call = *std::exchange(m_holder->call, std::nullopt);
        replyError(call, m_holder->endError ? m_holder->endError : kFailed,
                   m_holder->endError ? m_holder->endMessage : "The lock ended.");
    }
    m_holder.reset();
    emitCanLockChanged();
    exitWhenDone();
}

void LockService::endLock(const char* error, const std::string& message)
{
    if (!m_holder)
        return;
    if (!m_holder->endError) {
        m_holder->endError = error;
        m_holder->endMessage = message;
    }
    m_keeper.end();
}

// A user switch turns the holder's session inactive, a screen locker locks it: the lock
// ends with it, also while it is still being taken.
void LockService::sessionsChanged()
{
    emitCanLockChanged();
    if (!m_holder || m_holder->session.empty())
        return;
    const uint64_t serial = m_holder->serial;
    m_logind->checkSession(
        m_holder->session, m_holder->caller.uid, [this, serial](const Logind::Session& session) {
            if (!session.usable && m_holder && m_holder->serial == serial)
                endLock(kSessionNotActive, session.locked
                                               ? "The caller's session was locked."
                                               : "The caller's session is no longer active.");
        });
}

void LockService::sessionLocked(const std::string& path)
{
    if (m_holder && m_holder->session == path)
        endLock(kSessionNotActive, "The caller's session was locked.");
}

int LockService::canLock(sd_bus_message* message, sd_bus_error* error)
{
    return admit(message, error, [this](const Call& call) {
        m_logind->findSession(
            call.caller.pid, call.caller.uid, [=, this](const Logind::Session& session) {
                if (!session.usable) {
                    sd_bus_reply_method_return(call.message.get(), "s", "session-inactive");
                    callDone(call);
                    return;
                }
                authorizeCaller(call.caller.name, false, [=, this](Polkit::Answer answer) {
                    if (answer == Polkit::Answer::Authorized || answer == Polkit::Answer::Challenge)
                        touch();
                    sd_bus_reply_method_return(
                        call.message.get(), "s",
                        canLockAnswer(call.caller.name, session.seat, answer));
                    callDone(call);
                });
            });
    });
}

const char* LockService::canLockAnswer(const std::string& name, const std::string& seat,
                                       Polkit::Answer answer) const
{
    if (answer == Polkit::Answer::NotAuthorized || answer == Polkit::Answer::Unavailable)
        return "no";
    if (!m_keeper.hasPointer(seat))
        return "no-pointer";
    // The holder itself is told what it would be told without its lock, so that its own
    // lock does not read to it as another program's.
    if (m_holder && m_holder->caller.name != name)
        return "busy";
    return answer == Polkit::Answer::Challenge ? "challenge" : "yes";
}

int LockService::authorize(sd_bus_message* message, sd_bus_error* error)
{
    const bool interactive = sd_bus_message_get_allow_interactive_authorization(message) > 0;
    return admit(message, error, [this, interactive](const Call& call) {
        authorizeCaller(call.caller.name, interactive, [=, this](Polkit::Answer answer) {
            if (answer == Polkit::Answer::Authorized) {
                touch();
                // Unique names are never reused on a bus: remembering this one until it
                // leaves or polkit's rules change grants nothing to anyone else.
                sd_bus_track_add_name(m_authorized.get(), call.caller.name.c_str());
                sd_bus_reply_method_return(call.message.get(), "");
                callDone(call);
            } else if (answer == Polkit::Answer::Unavailable) {
                replyError(call, kFailed, "polkit could not be asked.");
            } else {
                replyError(call, kNotAuthorized, "Not authorized to lock the keyboard.");
            }
        });
    });
}

// Counts the call against its connection's budget, learns the caller's pid and uid from
// the bus daemon without blocking the loop, counts it against the user's budget, and only
// then goes on with it. Over budget, the call is refused at once (and a call that expects
// no reply costs nothing more).
int LockService::admit(sd_bus_message* message, sd_bus_error* error, Admitted admitted)
{
    const char* sender = sd_bus_message_get_sender(message);
    if (!sender)
        return sd_bus_error_set(error, kFailed, "The caller has no bus name.");
    const std::string name(sender);
    if (m_pendingByName[name] >= kPendingPerConnection)
        return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED,
                                "Too many calls of this connection are in progress.");
    Call call{MessageRef(message), {name}};
    ++m_pendingByName[name];
    ++m_pendingCalls;
    const bool asked = m_credentials->lookUp(
        name, [this, call, admitted = std::move(admitted)](
                  std::optional<CallerCredentials::Credentials> credentials) mutable {
            if (!credentials) {
                replyError(call, kFailed, "The caller's credentials are unknown.");
                return;
            }
            call.caller.pid = credentials->pid;
            call.caller.uid = credentials->uid;
            if (m_pendingByUser[call.caller.uid] >= kPendingPerUser) {
                replyError(call, SD_BUS_ERROR_LIMITS_EXCEEDED,
                           "Too many calls of this user are in progress.");
                return;
            }
            ++m_pendingByUser[call.caller.uid];
            call.userCounted = true;
            admitted(call);
        });
    if (!asked) {
        callDone(call);
        return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED,
                                "Too many callers are waiting to be served.");
    }
    return 1;
}

void LockService::authorizeCaller(const std::string& name, bool interactive,
                                  Polkit::AnswerHandler handler)
{
    if (m_authorized && sd_bus_track_contains(m_authorized.get(), name.c_str())) {
        handler(Polkit::Answer::Authorized);
        return;
    }
    m_polkit->check(name, interactive, std::move(handler));
}

void LockService::forgetAuthorizations()
{
    sd_bus_track* authorized = nullptr;
    if (sd_bus_track_new(m_bus.get(), &authorized, nullptr, nullptr) >= 0)
        m_authorized.reset(authorized);
    else
        m_authorized.reset(); // remembers no one
}

void LockService::replyError(const Call& call, const char* error, const std::string& message)
{
    sd_bus_reply_method_errorf(call.message.get(), error, "%s", message.c_str());
    callDone(call);
}

void LockService::callDone(const Call& call)
{
    if (const auto found = m_pendingByName.find(call.caller.name);
        found != m_pendingByName.end() && --found->second == 0)
        m_pendingByName.erase(found);
    if (call.userCounted) {
        if (const auto found = m_pendingByUser.find(call.caller.uid);
            found != m_pendingByUser.end() && --found->second == 0)
            m_pendingByUser.erase(found);
    }
    --m_pendingCalls;
    if (m_idleDue && m_pendingCalls == 0 && !m_exiting) {
        idleTimeout();
        return;
    }
    exitWhenDone();
}

void LockService::emitCanLockChanged()
{
    sd_bus_emit_signal(m_bus.get(), kObjectPath, kInterface, "CanLockChanged", nullptr);
}

void LockService::touch()
{
    if (!m_idle || m_exiting)
        return;
    m_idleDue = false;
    sd_event_source_set_time_relative(m_idle.get(), m_options.idleExitUsec);
    sd_event_source_set_enabled(m_idle.get(), SD_EVENT_ONESHOT);
}

void LockService::idleTimeout()
{
    if (m_holder) {
        touch();
        return;
    }
    // The timer tends to fire as a call wakes the loop: exit once the calls in progress
    // are answered, rather than granting whoever calls another full idle period.
    if (m_pendingCalls > 0) {
        m_idleDue = true;
        return;
    }
    m_idleDue = false;
    m_exiting = true;
    // Tell systemd first, so that it queues activations meant for a new instance rather
    // than taking this one for running; calls that reached us before the name went are
    // still answered.
    sd_notify(0, "STOPPING=1");
    if (sd_bus_release_name_async(
            m_bus.get(), nullptr, kBusName,
            [](sd_bus_message*, void* data, sd_bus_error*) {
                auto* service = static_cast<LockService*>(data);
                service->m_nameReleased = true;
                service->exitWhenDone();
                return 0;
            },
            this) < 0) {
        m_nameReleased = true;
        exitWhenDone();
    }
}

void LockService::terminate()
{
    m_exiting = true;
    m_nameReleased = true;
    m_terminating = true;
    endLock(kFailed, "The keyboard lock service is stopping.");
    exitWhenDone();
}

void LockService::exitWhenDone()
{
    if (m_exiting && m_nameReleased && !m_holder && (m_terminating || m_pendingCalls == 0))
        sd_event_exit(m_loop, 0);
}

} // namespace lockd
