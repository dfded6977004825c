// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

namespace platform {

// Opens the process's system bus connection on a thread of its own, once. Opening it
// is a blocking handshake: a bus daemon that accepts and never answers holds it until
// the daemon answers or goes away, and the thread that asks first must not be the one
// that serves the lock click.
class SystemBusConnector final : public QObject {
    Q_OBJECT

public:
    enum class State { NotTried, Connecting, Connected, Unavailable };

    // The one connector of the process; main thread only.
    static SystemBusConnector& instance();

    State state() const { return m_state; }
    // Starts opening the connection unless that has been tried already; returns at once.
    void connectInBackground();

signals:
    // The state has left Connecting.
    void settled();

private:
    SystemBusConnector() = default;
    void finish(bool connected);

    State m_state = State::NotTried;
};

} // namespace platform
