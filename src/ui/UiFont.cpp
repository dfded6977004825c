// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/UiFont.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace UiFont {

namespace {
constexpr qreal kOrdinaryDpi = 96;
constexpr qreal kOrdinaryPoints = 11;

qreal logicalDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchY();
    return kOrdinaryDpi;
}
} // namespace

qreal textScale()
{
    const qreal dpi = logicalDpi();
    const qreal points = QGuiApplication::font().pointSizeF();
    qreal scale = 1;
    if (dpi > 0 && std::isfinite(dpi))
        scale *= std::max<qreal>(1, dpi / kOrdinaryDpi);
    if (points > 0 && std::isfinite(points))
        scale *= std::max<qreal>(1, points / kOrdinaryPoints);
    return scale;
}

QFont system(qreal points, QFont::Weight weight)
{
    // QFont's pixel sizes are whole numbers; a typographic point size converted
    // through the screen's logical DPI keeps 11.5 as 11.5 device-independent pixels,
    // and the desktop's text size on top of it grows the text with the desktop's.
    const qreal dpi = logicalDpi();
    QFont font = QGuiApplication::font();
    // A size that is no positive number keeps the default size (Qt would warn).
    if (points > 0 && std::isfinite(points) && dpi > 0)
        font.setPointSizeF(points * textScale() * 72.0 / dpi);
    font.setWeight(weight);
    return font;
}

} // namespace UiFont
