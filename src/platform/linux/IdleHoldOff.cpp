// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/IdleHoldOff.h"

namespace platform {

void IdleHoldOff::setHeld(bool held)
{
    if (held) {
        m_screenSaver.acquire();
        m_gnomeSession.acquire();
    } else {
        m_screenSaver.release();
        m_gnomeSession.release();
    }
}

} // namespace platform
