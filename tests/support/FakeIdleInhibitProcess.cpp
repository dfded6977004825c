// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeIdleInhibitProcess.h"

FakeIdleInhibitProcess::FakeIdleInhibitProcess()
    : StandInProcess(QStringLiteral(TAVIMO_FAKE_IDLE_INHIBIT),
                     QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/control"),
                     QStringLiteral("app.tavimo.Test.FakeIdleInhibit"), QDBusConnection::SessionBus)
{
}

QStringList FakeIdleInhibitProcess::held() const
{
    const QDBusMessage reply = call(QStringLiteral("Held"));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {QStringLiteral("error")};
    QStringList entries = listFrom(reply);
    entries.sort();
    return entries;
}

int FakeIdleInhibitProcess::handed() const
{
    const QDBusMessage reply = call(QStringLiteral("Handed"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return -1;
    return int(reply.arguments().constFirst().toUInt());
}
