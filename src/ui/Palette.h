// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

// The shared colours of the interface. Each is made once, on first use from any
// thread, and every read returns that same object.
namespace Palette {

const AppearanceColor& accent();
const AppearanceColor& textPrimary();
const AppearanceColor& textSecondary();
const AppearanceColor& textTertiary();
const AppearanceColor& glassStroke();  // separator at 0.45
const AppearanceColor& surfaceFill();  // control background at 0.38
const AppearanceColor& overlayScrim(); // black at 0.32

} // namespace Palette
