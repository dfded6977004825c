// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>
#include <QPalette>

// Switches the application between a light and a dark desktop palette, the way a desktop
// announces an appearance change to Qt (text and base colours derive from these).
namespace AppearanceSwitch {

inline void toDark()
{
    QApplication::setPalette(QPalette(QColor(55, 55, 58), QColor(45, 45, 48)));
}

inline void toLight()
{
    QApplication::setPalette(QPalette(QColor(239, 239, 239), QColor(239, 239, 239)));
}

} // namespace AppearanceSwitch
