#pragma once

#include <QApplication>
#include <QPalette>

// Switches the application between a light and a dark desktop palette, the way a
// desktop announces an appearance change to Qt.
namespace AppearanceSwitch {

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(45, 45, 48));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 235));
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Text, QColor(235, 235, 235));
    palette.setColor(QPalette::Button, QColor(55, 55, 58));
    palette.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    return palette;
}

inline QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(239, 239, 239));
    palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
    palette.setColor(QPalette::Base, QColor(255, 255, 255));
    palette.setColor(QPalette::Text, QColor(20, 20, 20));
    palette.setColor(QPalette::Button, QColor(239, 239, 239));
    palette.setColor(QPalette::ButtonText, QColor(20, 20, 20));
    return palette;
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
