// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/LogindInhibitor.h"

#include "platform/linux/SystemBusConnector.h"

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
    // Released and wanted again before the answer came: that answer will be kept.
    if (isWaitingForReply() || isHeld())
        return;
    requestWhenBusIsReady();
}

void LogindInhibitor::requestWhenBusIsReady()
{
    SystemBusConnector& connector = SystemBusConnector::instance();
    switch (connector.state()) {
    case SystemBusConnector::State::Connected:
        sendRequest();
        return;
    case SystemBusConnector::State::Unavailable:
        return;
    case SystemBusConnector::State::NotTried:
    case SystemBusConnector::State::Connecting:
        m_waitingForBus = true;
        connect(&connector, &SystemBusConnector::settled, this, &LogindInhibitor::handleBusSettled,
                Qt::UniqueConnection);
        connector.connectInBackground();
        return;
    }
}

void LogindInhibitor::handleBusSettled()
{
    disconnect(&SystemBusConnector::instance(), nullptr, this, nullptr);
    m_waitingForBus = false;
    if (m_wanted && SystemBusConnector::instance().state() == SystemBusConnector::State::Connected)
        sendRequest();
    if (!m_pendingCall)
        emit stateChanged(); // no bus: this is the answer
}

void LogindInhibitor::sendRequest()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QString::fromLatin1(kWhat) << QString::fromLatin1(kWho) << QString::fromLatin1(kWhy)
         << QString::fromLatin1(kMode);
    m_pendingCall = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kReplyTimeoutMs), this);
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
