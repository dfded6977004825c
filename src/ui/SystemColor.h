#pragma once

#include "ui/AppearanceColor.h"

// Light and dark values for the system colours the interface is built from,
// kept in this one place.
namespace SystemColor {

AppearanceColor label();
AppearanceColor secondaryLabel();
AppearanceColor tertiaryLabel();
AppearanceColor separator();
AppearanceColor controlBackground();
AppearanceColor windowBackground();
AppearanceColor systemBlue();
AppearanceColor systemGreen();
AppearanceColor black();
AppearanceColor white();

} // namespace SystemColor
