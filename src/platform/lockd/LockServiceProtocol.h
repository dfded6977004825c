// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The names the keyboard-lock service (tavimo-lockd) answers to on the system bus.
namespace platform::lockservice {

inline const QString kService = QStringLiteral("app.tavimo.Tavimo.KeyboardLock");
inline const QString kPath = QStringLiteral("/app/tavimo/Tavimo/KeyboardLock");
inline const QString kInterface = QStringLiteral("app.tavimo.Tavimo.KeyboardLock1");

inline const QString kErrorNotAuthorized = kInterface + QStringLiteral(".Error.NotAuthorized");
inline const QString kErrorSessionNotActive =
    kInterface + QStringLiteral(".Error.SessionNotActive");
inline const QString kErrorNoPointer = kInterface + QStringLiteral(".Error.NoPointer");
inline const QString kErrorBusy = kInterface + QStringLiteral(".Error.Busy");
inline const QString kErrorAlreadyLocked = kInterface + QStringLiteral(".Error.AlreadyLocked");
inline const QString kErrorKeysHeld = kInterface + QStringLiteral(".Error.KeysHeld");
inline const QString kErrorFailed = kInterface + QStringLiteral(".Error.Failed");

// What CanLock() says, plus what the client knows when it has no answer.
enum class CanLock {
    Unknown,         // not asked yet, or the answer is on its way
    Yes,             // Lock() would succeed now without a prompt
    Challenge,       // polkit would ask for authentication
    No,              // not authorized
    SessionInactive, // the caller's session is not local and active
    NoPointer,       // no pointing device present
    Busy,            // another caller holds the lock
    Unavailable,     // the service did not answer, or answered nonsense
};

inline CanLock canLockFromAnswer(const QString& answer)
{
    if (answer == QLatin1String("yes"))
        return CanLock::Yes;
    if (answer == QLatin1String("challenge"))
        return CanLock::Challenge;
    if (answer == QLatin1String("no"))
        return CanLock::No;
    if (answer == QLatin1String("session-inactive"))
        return CanLock::SessionInactive;
    if (answer == QLatin1String("no-pointer"))
        return CanLock::NoPointer;
    if (answer == QLatin1String("busy"))
        return CanLock::Busy;
    return CanLock::Unavailable;
}

} // namespace platform::lockservice
