// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QStringList>

// Runs the stand-in keyboard-lock service for one test and drives it. Every query is a
// blocking call to the other process; one that fails answers "unreachable", never a
// plausible answer.
class FakeLockServiceProcess {
public:
    FakeLockServiceProcess() = default;
    // Kills it and waits until its name has left the bus.
    ~FakeLockServiceProcess() { stop(); }
    FakeLockServiceProcess(const FakeLockServiceProcess&) = delete;
    FakeLockServiceProcess& operator=(const FakeLockServiceProcess&) = delete;

    // Starts it and waits until it owns its name. Empty on success, else what went wrong.
    QString start(const QString& canLock = QStringLiteral("yes"));
    void stop();

    bool setCanLock(const QString& answer, bool announce = true);
    bool setLockError(const QString& name); // "Busy", "NoPointer", …; empty grants
    bool setAuthorizeGrants(bool grants);
    bool endLock(); // the service closes its end of the lock
    QStringList calls();
    int count(const QString& call) { return int(calls().count(call)); }
    QString lockState();     // "none", "held", "released" or "ended"
    QList<int> heartbeats(); // ms after the grant, per byte

    static bool isRegistered();

private:
    QProcess m_process;
};
