#include "ui/AppearanceColor.h"

#include <QGuiApplication>
#include <QPalette>

Appearance currentAppearance()
{
    // Desktops announce dark mode through the palette they hand to Qt: a dark window
    // background is the one signal every Linux theme gives.
    const QColor window = QGuiApplication::palette().color(QPalette::Active, QPalette::Window);
    return window.lightnessF() < 0.5 ? Appearance::Dark : Appearance::Light;
}

AppearanceColor AppearanceColor::withAlpha(qreal alpha) const
{
    QColor light = m_light;
    QColor dark = m_dark;
    light.setAlphaF(float(alpha));
    dark.setAlphaF(float(alpha));
    return AppearanceColor(light, dark);
}
