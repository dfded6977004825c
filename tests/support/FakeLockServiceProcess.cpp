// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeLockServiceProcess.h"

#include <QDBusReply>

FakeLockServiceProcess::FakeLockServiceProcess()
    : StandInProcess(QStringLiteral(TAVIMO_FAKE_LOCK_SERVICE),
                     QStringLiteral("app.tavimo.Tavimo.KeyboardLock"), QStringLiteral("/control"),
                     QStringLiteral("app.tavimo.Tavimo.Test.LockServiceControl"))
{
}

bool FakeLockServiceProcess::setCanLock(const QString& answer, bool announce)
{
    return boolFrom(call(QStringLiteral("SetCanLock"), {answer, announce}));
}

bool FakeLockServiceProcess::setLockError(const QString& name)
{
    return boolFrom(call(QStringLiteral("SetLockError"), {name}));
}

bool FakeLockServiceProcess::setAuthorizeGrants(bool grants)
{
    return boolFrom(call(QStringLiteral("SetAuthorizeGrants"), {grants}));
}

bool FakeLockServiceProcess::endLock()
{
    return boolFrom(call(QStringLiteral("EndLock")));
}

QString FakeLockServiceProcess::lockState()
{
    const QDBusReply<QString> reply = call(QStringLiteral("LockState"));
    return reply.isValid() ? reply.value() : QStringLiteral("unreachable");
}

QList<int> FakeLockServiceProcess::heartbeats()
{
    const QDBusReply<QStringList> reply = call(QStringLiteral("Heartbeats"));
    QList<int> times;
    for (const QString& time : reply.isValid() ? reply.value() : QStringList{})
        times.append(time.toInt());
    return times;
}
