#pragma once

#include <QApplication>
#include <QPalette>

// Switches the application between a light and a dark desktop palette, the way a
// desktop announces an appearance change to Qt. Qt derives text and base colours
// from the button and window colours given here.
namespace AppearanceSwitch {

inline QPalette darkPalette()
{
    return QPalette(QColor(55, 55, 58), QColor(45, 45, 48));
}

inline QPalette lightPalette()
{
    return QPalette(QColor(239, 239, 239), QColor(239, 239, 239));
}

inline void toDark()
{
    QApplication::setPalette(darkPalette());
}

inline void toLight()
{
    QApplication::setPalette(lightPalette());
}

} // namespace AppearanceSwitch
