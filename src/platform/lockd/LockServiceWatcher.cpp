// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/lockd/LockServiceWatcher.h"

#include "platform/linux/BusConnector.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace platform {

using namespace lockservice;

LockServiceWatcher::LockServiceWatcher(QObject* parent) : QObject(parent)
{
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LockServiceWatcher::refresh);
    m_reaskTimer.setSingleShot(true);
    m_reaskTimer.setInterval(kReaskAfterExitMs);
    connect(&m_reaskTimer, &QTimer::timeout, this, &LockServiceWatcher::refresh);

    BusConnector& connector = BusConnector::system();
    if (connector.state() == BusConnector::State::NotTried ||
        connector.state() == BusConnector::State::Connecting) {
        connect(&connector, &BusConnector::settled, this, &LockServiceWatcher::handleBusSettled);
        connector.connectInBackground();
        return;
    }
    handleBusSettled();
}

bool LockServiceWatcher::isBusConnected() const
{
    return BusConnector::system().state() == BusConnector::State::Connected;
}

void LockServiceWatcher::handleBusSettled()
{
    disconnect(&BusConnector::system(), nullptr, this, nullptr);
    if (!isBusConnected()) {
        m_presence = Presence::Absent;
        return;
    }
    followService();
    ask();
    m_refreshTimer.start();
}

void LockServiceWatcher::followService()
{
    if (m_following)
        return;
    m_following = true;
    QDBusConnection bus = QDBusConnection::systemBus();
    // Any sender: naming the service here would make QtDBus look up its owner with a
    // blocking call. A stray signal from elsewhere only makes us ask the service again.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("CanLockChanged"), this,
                SLOT(handleCanLockChanged()));
    auto* owner =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        // A new instance: what an earlier one granted this connection is gone with it.
        m_presence = Presence::Present;
        refresh();
    });
    connect(owner, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { m_reaskTimer.start(); });
}

void LockServiceWatcher::handleCanLockChanged()
{
    refresh();
}

void LockServiceWatcher::refresh()
{
    if (!isBusConnected())
        return;
    if (m_pendingCall) {
        m_askAgain = true;
        return;
    }
    ask();
}

void LockServiceWatcher::ask()
{
    m_askAgain = false;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CanLock"));
    m_pendingCall = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kReplyTimeoutMs), this);
    connect(m_pendingCall, &QDBusPendingCallWatcher::finished, this,
            &LockServiceWatcher::handleReply);
}

void LockServiceWatcher::handleReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_pendingCall = nullptr;
    const QDBusPendingReply<QString> reply = *call;
    if (!reply.isError()) {
        m_presence = Presence::Present;
        m_answer = canLockFromAnswer(reply.value());
    } else if (reply.error().type() == QDBusError::ServiceUnknown) {
        // Neither running nor activatable: not installed (or no longer).
        m_presence = Presence::Absent;
        m_answer = CanLock::Unknown;
    } else {
        // Installed, but it failed to start, timed out or refused to talk.
        m_presence = Presence::Present;
        m_answer = CanLock::Unavailable;
    }
    if (m_askAgain) {
        ask();
        return;
    }
    emit answered();
}

} // namespace platform
