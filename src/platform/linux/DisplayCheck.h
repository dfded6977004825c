// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace platform {

// Qt ends the process with an abort (and a core dump) when its platform plugin cannot
// open the display, so the entry asks first. Empty when the display opens, or when Qt
// will not use X11 (a reachable Wayland display, another QT_QPA_PLATFORM); otherwise
// the one line to tell the user, naming the display that could not be opened.
// `platformName` is Qt's -platform option, if given; QT_QPA_PLATFORM otherwise.
QString unopenableDisplay(QString platformName);

} // namespace platform
