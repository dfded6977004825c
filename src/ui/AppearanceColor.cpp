// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/AppearanceColor.h"

#include <QGuiApplication>
#include <QPalette>

Appearance appearanceOf(const QPalette& palette)
{
    // A dark window background is the one signal every Linux theme gives.
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    return window.lightnessF() < 0.5 ? Appearance::Dark : Appearance::Light;
}

Appearance currentAppearance()
{
    // Desktops announce dark mode through the palette they hand to Qt, or through the
    // desktop portal, which AppearanceNotifier turns into the application's palette.
    return appearanceOf(QGuiApplication::palette());
}

AppearanceColor AppearanceColor::withAlpha(qreal alpha) const
{
    QColor light = m_light;
    QColor dark = m_dark;
    light.setAlphaF(float(alpha));
    dark.setAlphaF(float(alpha));
    return AppearanceColor(light, dark);
}
