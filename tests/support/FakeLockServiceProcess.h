// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/StandInProcess.h"

// Runs the stand-in keyboard-lock service for one test and drives it. A query that
// fails answers "unreachable", never a plausible answer.
class FakeLockServiceProcess : public StandInProcess {
public:
    FakeLockServiceProcess();

    // Starts it answering CanLock with canLock.
    QString start(const QString& canLock = QStringLiteral("yes"))
    {
        return StandInProcess::start({canLock});
    }

    bool setCanLock(const QString& answer, bool announce = true);
    bool setLockError(const QString& name); // "Busy", "NoPointer", …; empty grants
    bool setAuthorizeGrants(bool grants);
    bool endLock(); // the service closes its end of the lock
    QStringList calls() { return listFrom(call(QStringLiteral("Calls"))); }
    int count(const QString& call) { return int(calls().count(call)); }
    QString lockState();     // "none", "held", "released" or "ended"
    QList<int> heartbeats(); // ms after the grant, per byte
    // Writes "R" (keyboard given back) or "L" (held again) to the lock's socket.
    bool send(const QString& byte) { return boolFrom(call(QStringLiteral("Send"), {byte})); }
    bool setSilenceMs(int ms) { return boolFrom(call(QStringLiteral("SetSilenceMs"), {ms})); }
    // What the stand-in wrote by itself or when told: "R@ms" or "L@ms" after the grant.
    QStringList sent() { return listFrom(call(QStringLiteral("Sent"))); }
};
