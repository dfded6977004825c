// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <QSocketNotifier>

class X11Tap;

// Connects a tap to the Qt main loop: a notifier on the tap's connection that drains
// its events whenever the connection has something to read.
class X11RunLoopSource final : public platform::RunLoopSource {
public:
    explicit X11RunLoopSource(X11Tap& tap);
    ~X11RunLoopSource() override;

    void setInstalled(bool installed);
    bool isInstalled() const { return m_notifier.isEnabled(); }
    // Drains once the main loop runs again, for events already read off the socket.
    void scheduleDrain();
    // The tap is being destroyed; from now on this source does nothing.
    void tapGone();

private:
    void drain();

    X11Tap* m_tap;
    QSocketNotifier m_notifier;
};
