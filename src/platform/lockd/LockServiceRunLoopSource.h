// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

namespace platform {

class LockServiceTap;

// Connects a lock of the keyboard-lock service to the Qt main loop: while installed, the
// tap sends its heartbeat and watches for the lock's end.
class LockServiceRunLoopSource final : public RunLoopSource {
public:
    explicit LockServiceRunLoopSource(LockServiceTap& tap);
    ~LockServiceRunLoopSource() override;

    void setInstalled(bool installed);
    // The tap is being destroyed; from now on this source does nothing.
    void tapGone() { m_tap = nullptr; }

private:
    LockServiceTap* m_tap;
};

} // namespace platform
