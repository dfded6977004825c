// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/LogindInhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

LogindInhibitor::LogindInhibitor(QObject* parent) : BusInhibitor(BusConnector::Bus::System, parent)
{
}

LogindInhibitor::~LogindInhibitor()
{
    // A reply still on its way is dropped with its watcher (a child), and its
    // descriptor closed with it.
    closeDescriptor();
}

QDBusMessage LogindInhibitor::inhibitCall() const
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QString::fromLatin1(kWhat) << QString::fromLatin1(kWho) << QString::fromLatin1(kWhy)
         << QString::fromLatin1(kMode);
    return call;
}

void LogindInhibitor::takeReply(const QDBusPendingCall& call, bool wanted)
{
    // The reply keeps its own copy of the descriptor until the watcher is gone; when
    // the lock is no longer wanted, that copy is the last one and closing it releases it.
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = call;
    if (wanted && !reply.isError() && reply.value().isValid()) {
        // Our own duplicate, so that release() closes it no matter when Qt lets go of
        // the reply's copies; -1 (no descriptor left) simply means nothing is held.
        m_fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    }
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
