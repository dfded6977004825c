// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/LaunchToken.h"

class QWindow;

namespace platform {

// Brings a shown top-level window to the front with the keyboard focus on behalf of
// another launch, passing the launch's token on to the window system so that its
// focus-stealing prevention lets it through.
void activateForLaunch(QWindow& window, const LaunchToken& launch);

} // namespace platform
