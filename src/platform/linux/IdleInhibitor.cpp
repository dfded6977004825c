// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/IdleInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
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
    : BusInhibitor(BusConnector::Bus::Session, parent), m_service(std::move(service))
{
}

IdleInhibitor::~IdleInhibitor()
{
    // A reply still on its way is dropped with its watcher; the service forgets its
    // cookie when our connection goes.
    if (m_cookie)
        giveBack(*m_cookie);
}

QDBusMessage IdleInhibitor::inhibitCall() const
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_service.name, m_service.path, m_service.interface, m_service.inhibitMethod);
    call.setArguments(m_service.inhibitArguments);
    // A service that is not running is absent: starting one just for this is not ours to do.
    call.setAutoStartService(false);
    return call;
}

void IdleInhibitor::takeReply(const QDBusPendingCall& call, bool wanted)
{
    const QDBusPendingReply<uint> reply = call;
    if (reply.isError())
        return;
    if (wanted)
        m_cookie = reply.value();
    else
        giveBack(reply.value()); // the lock ended while the cookie was on its way
}

void IdleInhibitor::letGo()
{
    giveBack(*std::exchange(m_cookie, std::nullopt));
}

void IdleInhibitor::giveBack(uint cookie)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_service.name, m_service.path, m_service.interface, m_service.uninhibitMethod);
    call << cookie;
    call.setAutoStartService(false);
    // Sent without waiting: there is nothing to do with the answer.
    connection().send(call);
}

} // namespace platform
