// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

namespace platform {

// Opens one of the process's bus connections on a thread of its own, once. Opening it is a
// blocking handshake: a bus daemon that accepts and never answers holds it until the daemon
// answers or goes away, and neither the launch nor the lock click may wait for that. Nothing
// on the main thread touches a bus before its connector has settled as Connected.
class BusConnector final : public QObject {
    Q_OBJECT

public:
    enum class Bus { Session, System };
    enum class State { NotTried, Connecting, Connected, Unavailable };

    // The one connector of each bus in the process; main thread only.
    static BusConnector& session();
    static BusConnector& system();

    State state() const { return m_state; }
    // Starts opening the connection unless that has been tried already; returns at once.
    void connectInBackground();

signals:
    // The state has left Connecting.
    void settled();

private:
    explicit BusConnector(Bus bus) : m_bus(bus) {}
    static bool open(Bus bus);
    void finish(bool connected);

    const Bus m_bus;
    State m_state = State::NotTried;
};

} // namespace platform
