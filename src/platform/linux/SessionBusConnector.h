// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

namespace platform {

// Opens the process's session bus connection on a thread of its own, once. Opening it is a
// blocking handshake, and a session bus that accepts and never answers would otherwise
// freeze the launch; nothing on the main thread touches the session bus before this has
// settled as Connected.
class SessionBusConnector final : public QObject {
    Q_OBJECT

public:
    enum class State { NotTried, Connecting, Connected, Unavailable };

    // The one connector of the process; main thread only.
    static SessionBusConnector& instance();

    State state() const { return m_state; }
    // Starts opening the connection unless that has been tried already; returns at once.
    void connectInBackground();

signals:
    // The state has left Connecting.
    void settled();

private:
    SessionBusConnector() = default;
    void finish(bool connected);

    State m_state = State::NotTried;
};

} // namespace platform
