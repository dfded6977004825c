// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/SessionBusConnector.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <thread>

namespace platform {

SessionBusConnector& SessionBusConnector::instance()
{
    static SessionBusConnector connector;
    return connector;
}

void SessionBusConnector::connectInBackground()
{
    if (m_state != State::NotTried)
        return;
    m_state = State::Connecting;
    // Detached: nobody waits for it, so a handshake that hangs holds up no one.
    std::thread([] {
        const bool connected = QDBusConnection::sessionBus().isConnected();
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [connected] { instance().finish(connected); }, Qt::QueuedConnection);
        }
    }).detach();
}

void SessionBusConnector::finish(bool connected)
{
    m_state = connected ? State::Connected : State::Unavailable;
    emit settled();
}

} // namespace platform
