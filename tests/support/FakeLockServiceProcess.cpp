// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/FakeLockServiceProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>

namespace {

const QString kService = QStringLiteral("app.tavimo.Tavimo.KeyboardLock");

QDBusMessage control(const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/control"),
        QStringLiteral("app.tavimo.Tavimo.Test.LockServiceControl"), method);
    message.setArguments(arguments);
    return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
}

bool succeeded(const QDBusReply<bool>& reply)
{
    return reply.isValid() && reply.value();
}

} // namespace

bool FakeLockServiceProcess::isRegistered()
{
    return QDBusConnection::systemBus().interface()->isServiceRegistered(kService);
}

QString FakeLockServiceProcess::start(const QString& canLock)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return QStringLiteral("no system bus: ") + bus.lastError().message();
    if (isRegistered())
        return kService + QStringLiteral(" is owned already");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral(TAVIMO_FAKE_LOCK_SERVICE), {canLock});
    const QDeadlineTimer deadline(5000);
    while (!isRegistered()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the stand-in never took ") + kService;
        QThread::msleep(5);
    }
    return {};
}

void FakeLockServiceProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    const QDeadlineTimer deadline(5000);
    while (isRegistered() && !deadline.hasExpired())
        QThread::msleep(5);
}

bool FakeLockServiceProcess::setCanLock(const QString& answer, bool announce)
{
    return succeeded(control(QStringLiteral("SetCanLock"), {answer, announce}));
}

bool FakeLockServiceProcess::setLockError(const QString& name)
{
    return succeeded(control(QStringLiteral("SetLockError"), {name}));
}

bool FakeLockServiceProcess::setAuthorizeGrants(bool grants)
{
    return succeeded(control(QStringLiteral("SetAuthorizeGrants"), {grants}));
}

bool FakeLockServiceProcess::endLock()
{
    return succeeded(control(QStringLiteral("EndLock")));
}

QStringList FakeLockServiceProcess::calls()
{
    const QDBusReply<QStringList> reply = control(QStringLiteral("Calls"));
    return reply.isValid() ? reply.value() : QStringList{QStringLiteral("unreachable")};
}

QString FakeLockServiceProcess::lockState()
{
    const QDBusReply<QString> reply = control(QStringLiteral("LockState"));
    return reply.isValid() ? reply.value() : QStringLiteral("unreachable");
}

QList<int> FakeLockServiceProcess::heartbeats()
{
    const QDBusReply<QStringList> reply = control(QStringLiteral("Heartbeats"));
    QList<int> times;
    for (const QString& time : reply.isValid() ? reply.value() : QStringList{})
        times.append(time.toInt());
    return times;
}
