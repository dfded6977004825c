// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

class QWindow;

namespace platform {

// Asks the window manager to raise and focus a shown top-level window for a launch, and
// ends that launch's startup notification (the launcher's busy cursor). False when the
// application is not on X11.
bool activateX11WindowForLaunch(QWindow& window, const QByteArray& startupId);

// The time stamp a startup notification id carries ("…_TIME<n>"), or 0.
quint32 startupIdTime(const QByteArray& startupId);

} // namespace platform
