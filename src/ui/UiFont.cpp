// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/UiFont.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace UiFont {

QFont system(qreal points, QFont::Weight weight)
{
    // QFont's pixel sizes are whole numbers; a typographic point size converted
    // through the screen's logical DPI keeps 11.5 as 11.5 device-independent pixels.
    qreal dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInchY();
    QFont font = QGuiApplication::font();
    // A size that is no positive number keeps the default size (Qt would warn).
    if (points > 0 && std::isfinite(points) && dpi > 0)
        font.setPointSizeF(points * 72.0 / dpi);
    font.setWeight(weight);
    return font;
}

} // namespace UiFont
