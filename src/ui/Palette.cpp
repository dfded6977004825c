// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Palette.h"

#include "ui/SystemColor.h"

// Function-local statics: made on first use, once, even when two threads race.
namespace Palette {

const AppearanceColor& accent()
{
    static const AppearanceColor color = SystemColor::systemBlue();
    return color;
}

const AppearanceColor& textPrimary()
{
    static const AppearanceColor color = SystemColor::label();
    return color;
}

const AppearanceColor& textSecondary()
{
    static const AppearanceColor color = SystemColor::secondaryLabel();
    return color;
}

const AppearanceColor& textTertiary()
{
    static const AppearanceColor color = SystemColor::tertiaryLabel();
    return color;
}

const AppearanceColor& glassStroke()
{
    static const AppearanceColor color = SystemColor::separator().withAlpha(0.45);
    return color;
}

const AppearanceColor& surfaceFill()
{
    static const AppearanceColor color = SystemColor::controlBackground().withAlpha(0.38);
    return color;
}

const AppearanceColor& overlayScrim()
{
    static const AppearanceColor color = SystemColor::black().withAlpha(0.32);
    return color;
}

} // namespace Palette
