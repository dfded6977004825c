// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/StandInProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>

StandInProcess::StandInProcess(QString program, QString service, QString path, QString interface)
    : m_program(std::move(program)), m_service(std::move(service)), m_path(std::move(path)),
      m_interface(std::move(interface))
{
}

StandInProcess::~StandInProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    // Wait for the bus to notice, so that the next stand-in can take the name.
    const QDeadlineTimer deadline(5000);
    while (serviceIsRegistered() && !deadline.hasExpired())
        QThread::msleep(5);
}

QString StandInProcess::start()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return QStringLiteral("no system bus: ") + bus.lastError().message();
    if (serviceIsRegistered())
        return m_service + QStringLiteral(" is owned already");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(m_program, {});
    const QDeadlineTimer deadline(5000);
    while (!serviceIsRegistered()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the stand-in never took ") + m_service;
        QThread::msleep(5);
    }
    return {};
}

QDBusMessage StandInProcess::call(const QString& method, const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, m_path, m_interface, method);
    message.setArguments(arguments);
    return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
}

QStringList StandInProcess::listFrom(const QDBusMessage& reply) const
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {QStringLiteral("unreachable")};
    return reply.arguments().first().toStringList();
}

bool StandInProcess::boolFrom(const QDBusMessage& reply) const
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toBool();
}

bool StandInProcess::serviceIsRegistered() const
{
    return QDBusConnection::systemBus().interface()->isServiceRegistered(m_service);
}
