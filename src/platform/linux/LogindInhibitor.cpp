#include "platform/linux/LogindInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

LogindInhibitor::LogindInhibitor(QObject* parent) : QObject(parent) {}

LogindInhibitor::~LogindInhibitor()
{
    // A reply still on its way is dropped with its watcher (a child), and its
    // descriptor closed with it.
    closeDescriptor();
}

void LogindInhibitor::acquire()
{
    if (m_wanted)
        return;
    m_wanted = true;
    // Released and wanted again before the reply came: that reply will be kept.
    if (m_pendingCall || isHeld())
        return;

    // Without a system bus (a container, a minimal session) this fails at once.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    // The lock is a file descriptor: a bus that cannot pass one cannot carry it.
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return;

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QString::fromLatin1(kWhat) << QString::fromLatin1(kWho) << QString::fromLatin1(kWhy)
         << QString::fromLatin1(kMode);
    m_pendingCall = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs), this);
    connect(m_pendingCall, &QDBusPendingCallWatcher::finished, this, &LogindInhibitor::handleReply);
}

void LogindInhibitor::release()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    if (isHeld()) {
        closeDescriptor();
        emit stateChanged();
    }
}

void LogindInhibitor::handleReply(QDBusPendingCallWatcher* call)
{
    // The reply keeps its own copy of the descriptor until the watcher is gone; when
    // the lock is no longer wanted, that copy is the last one and closing it releases it.
    call->deleteLater();
    m_pendingCall = nullptr;

    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (m_wanted && !reply.isError() && reply.value().isValid()) {
        // Our own duplicate, so that release() closes it no matter when Qt lets go of
        // the reply's copies; -1 (no descriptor left) simply means nothing is held.
        m_fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    }
    emit stateChanged();
}

void LogindInhibitor::closeDescriptor()
{
    if (m_fd < 0)
        return;
    // Linux frees the descriptor even when close() is interrupted: never retry.
    ::close(m_fd);
    m_fd = -1;
}

} // namespace platform
