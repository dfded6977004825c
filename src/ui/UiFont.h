// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>

// The interface font at a size in points, where a point is one device-independent
// pixel at the desktop's ordinary text size; fractional sizes such as 11.5 are kept.
namespace UiFont {

// How much larger than ordinary the desktop asks texts to be, 1 at its ordinary size:
// a font DPI above 96 (QT_FONT_DPI, a DPI the platform reports for fonts alone) and an
// application font above 11 points (GNOME's ordinary size; KDE's and GTK's is 10),
// multiplied. Never below 1: the layout is made for the ordinary size at least.
qreal textScale();

QFont system(qreal points, QFont::Weight weight);

} // namespace UiFont
