// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/BusConnector.h"

#include <QObject>

class QDBusConnection;
class QDBusMessage;
class QDBusPendingCall;
class QDBusPendingCallWatcher;

namespace platform {

// The asynchronous life of an inhibition asked of a bus service: wanted or not, waiting for
// the bus connection, at most one call on its way. Nothing waits on the bus. A reply that
// comes after release() is given back at once; acquire() again while a reply is on its way
// keeps that reply. Without the bus or the service nothing is held and nothing is reported.
// Subclasses say what to call and how to keep and give back what the reply holds. Use on the
// main thread.
class BusInhibitor : public QObject {
    Q_OBJECT

public:
    // A service that has not answered by then is treated as absent.
    static constexpr int kReplyTimeoutMs = 10000;

    // Asks for the inhibition and returns at once; a second call while wanted does nothing.
    void acquire();
    // Lets the inhibition go now, or as soon as a reply still on its way brings it.
    void release();

    // True while the service has granted the inhibition and it has not been let go.
    virtual bool isHeld() const = 0;
    // True from a request until its reply (or the lack of a bus) has been handled.
    bool isWaitingForReply() const { return m_waitingForBus || m_pendingCall != nullptr; }

signals:
    // A reply (or the lack of a bus) was handled, or the inhibition was let go.
    void stateChanged();

protected:
    BusInhibitor(BusConnector::Bus bus, QObject* parent);

    QDBusConnection connection() const;

    virtual QDBusMessage inhibitCall() const = 0;
    // Keeps what a successful reply holds while `wanted`, and gives it back otherwise.
    virtual void takeReply(const QDBusPendingCall& reply, bool wanted) = 0;
    // Gives back what isHeld() says is held.
    virtual void letGo() = 0;

private:
    BusConnector& connector() const;
    void requestWhenBusIsReady();
    void handleBusSettled();
    void sendRequest();
    void handleReply(QDBusPendingCallWatcher* call);

    const BusConnector::Bus m_bus;
    QDBusPendingCallWatcher* m_pendingCall = nullptr;
    bool m_wanted = false;
    bool m_waitingForBus = false;
};

} // namespace platform
