// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeDesktopPortalProcess.h"

#include <QDBusVariant>

FakeDesktopPortalProcess::FakeDesktopPortalProcess()
    : StandInProcess(QStringLiteral(TAVIMO_FAKE_DESKTOP_PORTAL),
                     QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/control"),
                     QStringLiteral("app.tavimo.Test.FakePortal"), QDBusConnection::SessionBus)
{
}

bool FakeDesktopPortalProcess::set(const QString& group, const QString& key, const QVariant& value)
{
    return call(QStringLiteral("Set"), {group, key, QVariant::fromValue(QDBusVariant(value))})
               .type() == QDBusMessage::ReplyMessage;
}
