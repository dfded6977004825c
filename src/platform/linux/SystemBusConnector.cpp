// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/SystemBusConnector.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <thread>

namespace platform {

SystemBusConnector& SystemBusConnector::instance()
{
    static SystemBusConnector connector;
    return connector;
}

void SystemBusConnector::connectInBackground()
{
    if (m_state != State::NotTried)
        return;
    m_state = State::Connecting;
    // Detached: nobody waits for it, so a handshake that hangs holds up no one.
    std::thread([] {
        const QDBusConnection bus = QDBusConnection::systemBus();
        // An inhibitor lock is a file descriptor: a bus that cannot pass one is no use.
        const bool connected = bus.isConnected() && (bus.connectionCapabilities() &
                                                     QDBusConnection::UnixFileDescriptorPassing);
        // Back to the main thread; nobody is left to tell once the application is gone.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [connected] { instance().finish(connected); }, Qt::QueuedConnection);
        }
    }).detach();
}

void SystemBusConnector::finish(bool connected)
{
    m_state = connected ? State::Connected : State::Unavailable;
    emit settled();
}

} // namespace platform
