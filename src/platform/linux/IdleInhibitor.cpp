// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/IdleInhibitor.h"

#include "platform/linux/SessionBusConnector.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

IdleInhibitor::Service IdleInhibitor::freedesktopScreenSaver()
{
    return {QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("Inhibit"),
            QStringLiteral("UnInhibit"),
            {QStringLiteral("Tavimo"), QString::fromLatin1(kReason)}};
}

IdleInhibitor::Service IdleInhibitor::gnomeSessionManager()
{
    constexpr uint kInhibitIdle = 8;
    return {
        QStringLiteral("org.gnome.SessionManager"),
        QStringLiteral("/org/gnome/SessionManager"),
        QStringLiteral("org.gnome.SessionManager"),
        QStringLiteral("Inhibit"),
        QStringLiteral("Uninhibit"),
        {QStringLiteral("app.tavimo.Tavimo"), uint(0), QString::fromLatin1(kReason), kInhibitIdle}};
}

IdleInhibitor::IdleInhibitor(Service service, QObject* parent)
    : QObject(parent), m_service(std::move(service))
{
}

IdleInhibitor::~IdleInhibitor()
{
    // A reply still on its way is dropped with its watcher; the service forgets its
    // cookie when our connection goes.
    if (m_cookie)
        giveBack(*m_cookie);
}

void IdleInhibitor::acquire()
{
    if (m_wanted)
        return;
    m_wanted = true;
    // Released and wanted again before the answer came: that answer will be kept.
    if (m_waitingForBus || m_pendingCall || m_cookie)
        return;
    requestWhenBusIsReady();
}

void IdleInhibitor::requestWhenBusIsReady()
{
    SessionBusConnector& connector = SessionBusConnector::instance();
    switch (connector.state()) {
    case SessionBusConnector::State::Connected:
        sendRequest();
        return;
    case SessionBusConnector::State::Unavailable:
        return;
    case SessionBusConnector::State::NotTried:
    case SessionBusConnector::State::Connecting:
        m_waitingForBus = true;
        connect(&connector, &SessionBusConnector::settled, this, &IdleInhibitor::handleBusSettled,
                Qt::UniqueConnection);
        connector.connectInBackground();
        return;
    }
}

void IdleInhibitor::handleBusSettled()
{
    disconnect(&SessionBusConnector::instance(), nullptr, this, nullptr);
    m_waitingForBus = false;
    if (m_wanted &&
        SessionBusConnector::instance().state() == SessionBusConnector::State::Connected)
        sendRequest();
    if (!m_pendingCall)
        emit stateChanged(); // no bus: this is the answer
}

void IdleInhibitor::sendRequest()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_service.name, m_service.path, m_service.interface, m_service.inhibitMethod);
    call.setArguments(m_service.inhibitArguments);
    // A service that is not running is absent: starting one just for this is not ours to do.
    call.setAutoStartService(false);
    m_pendingCall = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kReplyTimeoutMs), this);
    connect(m_pendingCall, &QDBusPendingCallWatcher::finished, this, &IdleInhibitor::handleReply);
}

void IdleInhibitor::release()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    if (m_cookie) {
        giveBack(*std::exchange(m_cookie, std::nullopt));
        emit stateChanged();
    }
}

void IdleInhibitor::handleReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_pendingCall = nullptr;
    const QDBusPendingReply<uint> reply = *call;
    if (!reply.isError()) {
        if (m_wanted)
            m_cookie = reply.value();
        else
            giveBack(reply.value()); // the lock ended while the cookie was on its way
    }
    emit stateChanged();
}

void IdleInhibitor::giveBack(uint cookie)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_service.name, m_service.path, m_service.interface, m_service.uninhibitMethod);
    call << cookie;
    call.setAutoStartService(false);
    // Sent without waiting: there is nothing to do with the answer.
    QDBusConnection::sessionBus().send(call);
}

} // namespace platform
