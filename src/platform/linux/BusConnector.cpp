// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/BusConnector.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <thread>

namespace platform {

BusConnector& BusConnector::session()
{
    static BusConnector connector(Bus::Session);
    return connector;
}

BusConnector& BusConnector::system()
{
    static BusConnector connector(Bus::System);
    return connector;
}

void BusConnector::connectInBackground()
{
    if (m_state != State::NotTried)
        return;
    m_state = State::Connecting;
    // Detached: nobody waits for it, so a handshake that hangs holds up no one. The
    // connector itself is static and outlives the thread.
    std::thread([this] {
        const bool connected = open(m_bus);
        // Back to the main thread; nobody is left to tell once the application is gone.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [this, connected] { finish(connected); }, Qt::QueuedConnection);
        }
    }).detach();
}

bool BusConnector::open(Bus bus)
{
    if (bus == Bus::Session)
        return QDBusConnection::sessionBus().isConnected();
    const QDBusConnection systemBus = QDBusConnection::systemBus();
    // An inhibitor lock is a file descriptor: a system bus that cannot pass one is no use.
    return systemBus.isConnected() &&
           (systemBus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing);
}

void BusConnector::finish(bool connected)
{
    m_state = connected ? State::Connected : State::Unavailable;
    emit settled();
}

} // namespace platform
