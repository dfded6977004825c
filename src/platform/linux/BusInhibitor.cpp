// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/BusInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace platform {

BusInhibitor::BusInhibitor(BusConnector::Bus bus, QObject* parent) : QObject(parent), m_bus(bus) {}

QDBusConnection BusInhibitor::connection() const
{
    return m_bus == BusConnector::Bus::Session ? QDBusConnection::sessionBus()
                                               : QDBusConnection::systemBus();
}

BusConnector& BusInhibitor::connector() const
{
    return m_bus == BusConnector::Bus::Session ? BusConnector::session() : BusConnector::system();
}

void BusInhibitor::acquire()
{
    if (m_wanted)
        return;
    m_wanted = true;
    // Released and wanted again before the answer came: that answer will be kept.
    if (isWaitingForReply() || isHeld())
        return;
    requestWhenBusIsReady();
}

void BusInhibitor::requestWhenBusIsReady()
{
    BusConnector& bus = connector();
    switch (bus.state()) {
    case BusConnector::State::Connected:
        sendRequest();
        return;
    case BusConnector::State::Unavailable:
        return;
    case BusConnector::State::NotTried:
    case BusConnector::State::Connecting:
        m_waitingForBus = true;
        connect(&bus, &BusConnector::settled, this, &BusInhibitor::handleBusSettled,
                Qt::UniqueConnection);
        bus.connectInBackground();
        return;
    }
}

void BusInhibitor::handleBusSettled()
{
    disconnect(&connector(), nullptr, this, nullptr);
    m_waitingForBus = false;
    if (m_wanted && connector().state() == BusConnector::State::Connected)
        sendRequest();
    if (!m_pendingCall)
        emit stateChanged(); // no bus: this is the answer
}

void BusInhibitor::sendRequest()
{
    m_pendingCall =
        new QDBusPendingCallWatcher(connection().asyncCall(inhibitCall(), kReplyTimeoutMs), this);
    connect(m_pendingCall, &QDBusPendingCallWatcher::finished, this, &BusInhibitor::handleReply);
}

void BusInhibitor::release()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    if (isHeld()) {
        letGo();
        emit stateChanged();
    }
}

void BusInhibitor::handleReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_pendingCall = nullptr;
    takeReply(*call, m_wanted);
    emit stateChanged();
}

} // namespace platform
