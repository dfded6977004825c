// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QPalette>

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

// A whole widget palette of the appearance, made of the colours above: what the
// application wears when the desktop asks for an appearance its own palette lacks.
QPalette palette(Appearance appearance);

} // namespace SystemColor
