// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeDesktopPortalProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QThread>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");

bool serviceIsRegistered()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService);
}

} // namespace

QString FakeDesktopPortalProcess::start(const QStringList& arguments)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("no session bus: ") + bus.lastError().message();
    if (serviceIsRegistered())
        return kService + QStringLiteral(" is owned already");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral(TAVIMO_FAKE_DESKTOP_PORTAL), arguments);
    const QDeadlineTimer deadline(5000);
    while (!serviceIsRegistered()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the stand-in never took ") + kService;
        QThread::msleep(5);
    }
    return {};
}

void FakeDesktopPortalProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    const QDeadlineTimer deadline(5000);
    while (serviceIsRegistered() && !deadline.hasExpired())
        QThread::msleep(5);
}

bool FakeDesktopPortalProcess::set(const QString& group, const QString& key, const QVariant& value)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/control"),
                                                       QStringLiteral("app.tavimo.Test.FakePortal"),
                                                       QStringLiteral("Set"));
    call << group << key << QVariant::fromValue(QDBusVariant(value));
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000).type() ==
           QDBusMessage::ReplyMessage;
}
