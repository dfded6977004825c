#include "support/FakeLoginManagerProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");

QDBusMessage call(const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"), method);
    message.setArguments(arguments);
    return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
}

QStringList listFrom(const QDBusReply<QStringList>& reply)
{
    return reply.isValid() ? reply.value() : QStringList{QStringLiteral("unreachable")};
}

bool serviceIsRegistered()
{
    return QDBusConnection::systemBus().interface()->isServiceRegistered(kService);
}

} // namespace

FakeLoginManagerProcess::~FakeLoginManagerProcess()
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

QString FakeLoginManagerProcess::start()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return QStringLiteral("no system bus: ") + bus.lastError().message();
    if (serviceIsRegistered())
        return QStringLiteral("org.freedesktop.login1 is owned already");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral(TAVIMO_FAKE_LOGIN_MANAGER), {});
    const QDeadlineTimer deadline(5000);
    while (!serviceIsRegistered()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the stand-in never took org.freedesktop.login1");
        QThread::msleep(5);
    }
    return {};
}

bool FakeLoginManagerProcess::setBehaviour(const QString& behaviour, uint delayMs)
{
    const QDBusReply<bool> reply = call(QStringLiteral("SetBehaviour"), {behaviour, delayMs});
    return reply.isValid() && reply.value();
}

QStringList FakeLoginManagerProcess::states()
{
    return listFrom(call(QStringLiteral("States")));
}

QStringList FakeLoginManagerProcess::request(uint index)
{
    return listFrom(call(QStringLiteral("Request"), {index}));
}
