// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeLoginManagerProcess.h"

FakeLoginManagerProcess::FakeLoginManagerProcess()
    : StandInProcess(QStringLiteral(TAVIMO_FAKE_LOGIN_MANAGER),
                     QStringLiteral("org.freedesktop.login1"),
                     QStringLiteral("/org/freedesktop/login1"),
                     QStringLiteral("org.freedesktop.login1.Manager"))
{
}

bool FakeLoginManagerProcess::setBehaviour(const QString& behaviour, uint delayMs)
{
    return boolFrom(call(QStringLiteral("SetBehaviour"), {behaviour, delayMs}));
}

QStringList FakeLoginManagerProcess::states()
{
    return listFrom(call(QStringLiteral("States")));
}

QStringList FakeLoginManagerProcess::request(uint index)
{
    return listFrom(call(QStringLiteral("Request"), {index}));
}

bool FakeLoginManagerProcess::setSession(const QString& lookup, bool active, bool remote, uint uid)
{
    return boolFrom(call(QStringLiteral("SetSession"), {lookup, active, remote, uid}));
}

bool FakeLoginManagerProcess::setSeat(const QString& seat)
{
    return boolFrom(call(QStringLiteral("SetSeat"), {seat}));
}

bool FakeLoginManagerProcess::setLocked(const QString& how)
{
    return boolFrom(call(QStringLiteral("SetLocked"), {how}));
}
