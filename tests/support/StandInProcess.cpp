// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/StandInProcess.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>

StandInProcess::StandInProcess(QString program, QString service, QString path, QString interface,
                               QDBusConnection::BusType bus)
    : m_program(std::move(program)), m_service(std::move(service)), m_path(std::move(path)),
      m_interface(std::move(interface)), m_bus(bus)
{
}

QString StandInProcess::start(const QStringList& arguments)
{
    QDBusConnection bus = connection();
    if (!bus.isConnected())
        return (m_bus == QDBusConnection::SystemBus ? QStringLiteral("no system bus: ")
                                                    : QStringLiteral("no session bus: ")) +
               bus.lastError().message();
    if (serviceIsRegistered())
        return m_service + QStringLiteral(" is owned already");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(m_program, arguments);
    const QDeadlineTimer deadline(5000);
    while (!serviceIsRegistered()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the stand-in never took ") + m_service;
        QThread::msleep(5);
    }
    return {};
}

void StandInProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    const QDeadlineTimer deadline(5000);
    while (serviceIsRegistered() && !deadline.hasExpired())
        QThread::msleep(5);
}

QDBusMessage StandInProcess::call(const QString& method, const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, m_path, m_interface, method);
    message.setArguments(arguments);
    return connection().call(message, QDBus::Block, 5000);
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

QDBusConnection StandInProcess::connection() const
{
    return m_bus == QDBusConnection::SystemBus ? QDBusConnection::systemBus()
                                               : QDBusConnection::sessionBus();
}

bool StandInProcess::serviceIsRegistered() const
{
    return connection().interface()->isServiceRegistered(m_service);
}
