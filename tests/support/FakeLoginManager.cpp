#include "support/FakeLoginManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

FakeLoginManager::FakeLoginManager(QObject* parent) : QObject(parent) {}

FakeLoginManager::~FakeLoginManager()
{
    for (QSocketNotifier* notifier : m_notifiers)
        ::close(int(notifier->socket()));
}

void FakeLoginManager::setBehaviour(Behaviour behaviour, int delayMs)
{
    m_behaviour = behaviour;
    m_delayMs = delayMs;
}

QDBusUnixFileDescriptor FakeLoginManager::Inhibit(const QString& what, const QString& who,
                                                  const QString& why, const QString& mode)
{
    m_requests.append({what, who, why, mode});
    const int index = int(m_requests.size()) - 1;
    setDelayedReply(true);
    const QDBusMessage call = message();
    if (m_delayMs > 0)
        QTimer::singleShot(m_delayMs, this, [this, call, index] { answer(call, index); });
    else
        answer(call, index);
    return {};
}

void FakeLoginManager::answer(const QDBusMessage& call, int index)
{
    if (m_behaviour == Behaviour::Refuse) {
        QDBusConnection::systemBus().send(call.createErrorReply(
            QDBusError::AccessDenied, QStringLiteral("Permission denied (stand-in)")));
        return;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        QDBusConnection::systemBus().send(
            call.createErrorReply(QDBusError::Failed, QStringLiteral("pipe2 failed")));
        return;
    }
    {
        // The reply carries a duplicate; ours is closed at once so that the client
        // holds the only write end.
        const QDBusUnixFileDescriptor writeEnd(ends[1]);
        ::close(ends[1]);
        QDBusConnection::systemBus().send(call.createReply(QVariant::fromValue(writeEnd)));
    }
    m_requests[index].granted = true;
    m_requests[index].held = true;
    watchClientEnd(ends[0], index);
}

void FakeLoginManager::watchClientEnd(int readFd, int index)
{
    auto* notifier = new QSocketNotifier(readFd, QSocketNotifier::Read, this);
    m_notifiers.append(notifier);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, readFd, index] {
        char byte;
        if (::read(readFd, &byte, 1) > 0)
            return;
        // End of file: every write end is closed, the lock is let go.
        m_requests[index].held = false;
        notifier->setEnabled(false);
    });
}
