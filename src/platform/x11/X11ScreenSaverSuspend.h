// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace platform {

// Keeps the X server's own screen saver (and the power saving of the screens, which the
// server ties to it) from starting while held. Locks that follow the server's idle timer
// (xss-lock, xautolock) stay quiet with it. Does nothing without an X display.
class X11ScreenSaverSuspend final {
public:
    // Suspends or resumes; false when the X server has no screen saver extension.
    static bool suspend(bool held);
};

} // namespace platform
