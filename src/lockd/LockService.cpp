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
constexpr const char* kFailed = "app.tavimo.Tavimo.KeyboardLock1.Error.Failed";

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

    if (!m_polkit->watch([this] { emitCanLockChanged(); }) ||
        !m_logind->watch([this] { sessionsChanged(); }))
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
// polkit would say no, and the more useful answer), then polkit, then the devices.
int LockService::lock(sd_bus_message* message, sd_bus_error* error)
{
    touch();
    if (m_holder)
        return sd_bus_error_set(error, kAlreadyLocked, "Another caller holds the keyboard lock.");
    Caller caller;
    if (!callerOf(message, caller, error))
        return -EIO;
    const bool interactive = sd_bus_message_get_allow_interactive_authorization(message) > 0;
    const MessageRef call(message);
    ++m_pendingCalls;
    m_logind->findSession(caller.pid, caller.uid, [=, this](const Logind::Session& session) {
        if (!session.usable) {
            replyError(call, kSessionNotActive, "The caller's session is not local and active.");
            return;
        }
        authorizeCaller(caller.name, interactive, [=, this](Polkit::Answer answer) {
            switch (answer) {
            case Polkit::Answer::Authorized:
                takeLock(call, caller, session.path);
                return;
            case Polkit::Answer::Challenge:
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
    return 1;
}

void LockService::takeLock(const MessageRef& call, const Caller& caller, const std::string& session)
{
    if (m_holder) {
        replyError(call, kAlreadyLocked, "Another caller holds the keyboard lock.");
        return;
    }
    Holder& holder = m_holder.emplace();
    holder.caller = caller;
    holder.session = session;
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
        (holder.track.reset(track), sd_bus_track_add_name(track, caller.name.c_str()) < 0)) {
        m_holder.reset();
        replyError(call, kFailed, "The caller left the bus.");
        return;
    }
    const LockKeeper::Refusal refused = m_keeper.take(
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
    const MessageRef call = std::exchange(m_holder->call, MessageRef());
    if (result == KeyboardLock::Result::Locked) {
        // The reply carries a duplicate; ours closes on return, so the caller's copy is
        // the only one and its closing ends the lock.
        if (sd_bus_reply_method_return(call.get(), "h", holderEnd.get()) < 0)
            endLock(kFailed, "The descriptor could not be handed over.");
        callDone();
        return;
    }
    const char* error = kFailed;
    std::string message = why;
    if (result == KeyboardLock::Result::Busy) {
        error = kBusy;
    } else if (result == KeyboardLock::Result::Ended && m_holder->endError) {
        error = m_holder->endError;
        message = m_holder->endMessage;
    } else if (result == KeyboardLock::Result::Ended && !m_keeper.hasPointer()) {
        error = kNoPointer;
        message = "The last pointing device went away.";
    }
    m_holder.reset();
    replyError(call, error, message);
    emitCanLockChanged();
}

void LockService::lockEnded()
{
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

// A user switch turns the holder's session inactive: the lock ends with it.
void LockService::sessionsChanged()
{
    emitCanLockChanged();
    if (!m_holder || m_holder->session.empty())
        return;
    const std::string holder = m_holder->caller.name;
    m_logind->checkSession(
        m_holder->session, m_holder->caller.uid, [this, holder](const Logind::Session& session) {
            if (!session.usable && m_holder && m_holder->caller.name == holder)
                endLock(kSessionNotActive, "The caller's session is no longer active.");
        });
}

int LockService::canLock(sd_bus_message* message, sd_bus_error* error)
{
    touch();
    Caller caller;
    if (!callerOf(message, caller, error))
        return -EIO;
    const MessageRef call(message);
    ++m_pendingCalls;
    m_logind->findSession(caller.pid, caller.uid, [=, this](const Logind::Session& session) {
        if (!session.usable) {
            sd_bus_reply_method_return(call.get(), "s", "session-inactive");
            callDone();
            return;
        }
        authorizeCaller(caller.name, false, [=, this](Polkit::Answer answer) {
            sd_bus_reply_method_return(call.get(), "s", canLockAnswer(caller.name, answer));
            callDone();
        });
    });
    return 1;
}

const char* LockService::canLockAnswer(const std::string& name, Polkit::Answer answer) const
{
    if (answer == Polkit::Answer::NotAuthorized || answer == Polkit::Answer::Unavailable)
        return "no";
    if (!m_keeper.hasPointer())
        return "no-pointer";
    // The holder itself is told what it would be told without its lock, so that its own
    // lock does not read to it as another program's.
    if (m_holder && m_holder->caller.name != name)
        return "busy";
    return answer == Polkit::Answer::Challenge ? "challenge" : "yes";
}

int LockService::authorize(sd_bus_message* message, sd_bus_error*)
{
    touch();
    const std::string name = sd_bus_message_get_sender(message);
    const bool interactive = sd_bus_message_get_allow_interactive_authorization(message) > 0;
    const MessageRef call(message);
    ++m_pendingCalls;
    authorizeCaller(name, interactive, [=, this](Polkit::Answer answer) {
        if (answer == Polkit::Answer::Authorized) {
            // Unique names are never reused on a bus: remembering this one for as long as
            // it is connected grants nothing to anyone else.
            sd_bus_track_add_name(m_authorized.get(), name.c_str());
            sd_bus_reply_method_return(call.get(), "");
            callDone();
        } else if (answer == Polkit::Answer::Unavailable) {
            replyError(call, kFailed, "polkit could not be asked.");
        } else {
            replyError(call, kNotAuthorized, "Not authorized to lock the keyboard.");
        }
    });
    return 1;
}

// The caller's pid and uid as the bus daemon recorded them when it connected (no
// augmenting from /proc, which the caller could race).
bool LockService::callerOf(sd_bus_message* message, Caller& caller, sd_bus_error* error)
{
    sd_bus_creds* creds = nullptr;
    const int queried = sd_bus_query_sender_creds(
        message, SD_BUS_CREDS_PID | SD_BUS_CREDS_UID | SD_BUS_CREDS_EUID, &creds);
    pid_t pid = 0;
    uid_t uid = 0;
    const bool known =
        queried >= 0 && sd_bus_creds_get_pid(creds, &pid) >= 0 &&
        (sd_bus_creds_get_euid(creds, &uid) >= 0 || sd_bus_creds_get_uid(creds, &uid) >= 0);
    sd_bus_creds_unref(creds);
    if (!known) {
        sd_bus_error_set(error, kFailed, "The caller's credentials are unknown.");
        return false;
    }
    caller = {sd_bus_message_get_sender(message), pid, uid};
    return true;
}

void LockService::authorizeCaller(const std::string& name, bool interactive,
                                  Polkit::AnswerHandler handler)
{
    if (sd_bus_track_contains(m_authorized.get(), name.c_str())) {
        handler(Polkit::Answer::Authorized);
        return;
    }
    m_polkit->check(name, interactive, std::move(handler));
}

void LockService::replyError(const MessageRef& call, const char* error, const std::string& message)
{
    sd_bus_reply_method_errorf(call.get(), error, "%s", message.c_str());
    callDone();
}

void LockService::callDone()
{
    --m_pendingCalls;
    touch();
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
    sd_event_source_set_time_relative(m_idle.get(), m_options.idleExitUsec);
    sd_event_source_set_enabled(m_idle.get(), SD_EVENT_ONESHOT);
}

void LockService::idleTimeout()
{
    if (m_holder || m_pendingCalls > 0 || sd_bus_track_count(m_authorized.get()) > 0) {
        touch();
        return;
    }
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
