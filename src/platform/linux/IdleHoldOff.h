// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/IdleInhibitor.h"

namespace platform {

// Every session-bus way a Linux desktop offers to hold off idling, asked together: whichever
// service runs answers, the others are silently absent.
class IdleHoldOff final {
public:
    void setHeld(bool held);

    const IdleInhibitor& screenSaver() const { return m_screenSaver; }
    const IdleInhibitor& gnomeSession() const { return m_gnomeSession; }

private:
    IdleInhibitor m_screenSaver{IdleInhibitor::freedesktopScreenSaver()};
    IdleInhibitor m_gnomeSession{IdleInhibitor::gnomeSessionManager()};
};

} // namespace platform
