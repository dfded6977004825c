#include "support/FakeLoginManagerProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");

QDBusMessage controlCall(const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.tavimo.test.LoginManagerControl"), method);
    call.setArguments(arguments);
    return QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
}

template <typename T> std::optional<T> answerOf(const QDBusMessage& reply)
{
    const QDBusReply<T> typed = reply;
    if (!typed.isValid())
        return std::nullopt;
    return typed.value();
}

} // namespace

FakeLoginManagerProcess::~FakeLoginManagerProcess()
{
    stop();
}

QString FakeLoginManagerProcess::start()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return QStringLiteral("no system bus: ") + bus.lastError().message();
    if (bus.interface()->isServiceRegistered(kService))
        return QStringLiteral("org.freedesktop.login1 is owned already");

    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral(TAVIMO_FAKE_LOGIN_MANAGER), {});
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("cannot start the stand-in: ") + m_process.errorString();
    const QDeadlineTimer deadline(5000);
    while (!bus.interface()->isServiceRegistered(kService)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return QStringLiteral("the stand-in never took org.freedesktop.login1");
        QThread::msleep(5);
    }
    return {};
}

void FakeLoginManagerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    // Wait for the bus to notice, so that the next stand-in can take the name.
    QDBusConnection bus = QDBusConnection::systemBus();
    const QDeadlineTimer deadline(5000);
    while (bus.interface()->isServiceRegistered(kService) && !deadline.hasExpired())
        QThread::msleep(5);
}

bool FakeLoginManagerProcess::setBehaviour(const QString& behaviour, uint delayMs)
{
    return answerOf<bool>(controlCall(QStringLiteral("SetBehaviour"), {behaviour, delayMs}))
        .value_or(false);
}

std::optional<uint> FakeLoginManagerProcess::requestCount()
{
    return answerOf<uint>(controlCall(QStringLiteral("RequestCount")));
}

std::optional<QStringList> FakeLoginManagerProcess::request(uint index)
{
    return answerOf<QStringList>(controlCall(QStringLiteral("Request"), {index}));
}

std::optional<bool> FakeLoginManagerProcess::isGranted(uint index)
{
    return answerOf<bool>(controlCall(QStringLiteral("IsGranted"), {index}));
}

std::optional<bool> FakeLoginManagerProcess::isHeld(uint index)
{
    return answerOf<bool>(controlCall(QStringLiteral("IsHeld"), {index}));
}

std::optional<uint> FakeLoginManagerProcess::heldCount()
{
    return answerOf<uint>(controlCall(QStringLiteral("HeldCount")));
}
