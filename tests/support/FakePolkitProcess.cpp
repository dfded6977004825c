// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakePolkitProcess.h"

FakePolkitProcess::FakePolkitProcess()
    : StandInProcess(QStringLiteral(TAVIMO_FAKE_POLKIT),
                     QStringLiteral("org.freedesktop.PolicyKit1"),
                     QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                     QStringLiteral("org.freedesktop.PolicyKit1.Authority"))
{
}

bool FakePolkitProcess::setAnswer(const QString& answer)
{
    return boolFrom(call(QStringLiteral("SetAnswer"), {answer}));
}

bool FakePolkitProcess::setDelay(uint delayMs)
{
    return boolFrom(call(QStringLiteral("SetDelay"), {delayMs}));
}

QStringList FakePolkitProcess::checks()
{
    return listFrom(call(QStringLiteral("Checks")));
}
