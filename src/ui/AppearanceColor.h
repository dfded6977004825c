// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>

class QPalette;

enum class Appearance { Light, Dark };

// The appearance a palette is made for.
Appearance appearanceOf(const QPalette& palette);
// The desktop's current appearance, told by the application palette.
Appearance currentAppearance();

// A colour with one value for the light and one for the dark appearance, resolved
// when it is used, so a stored colour follows a later switch of appearance.
class AppearanceColor {
public:
    AppearanceColor(QColor light, QColor dark) : m_light(light), m_dark(dark) {}

    QColor resolved() const { return resolved(currentAppearance()); }
    QColor resolved(Appearance appearance) const
    {
        return appearance == Appearance::Dark ? m_dark : m_light;
    }
    // Same colour with its opacity replaced, in both appearances.
    AppearanceColor withAlpha(qreal alpha) const;

private:
    QColor m_light;
    QColor m_dark;
};
