// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

#include <optional>

// The interface's symbols ("lock.fill", "hourglass", …), drawn by this project as
// SVG resources and rendered at a point size, weight and tint.
namespace SymbolImage {

bool exists(const QString& name);

// Logical side of the square image of a symbol of this point size.
qreal sideFor(qreal pointSize);

// Nothing for an unknown name or a size that is not a sensible positive number.
// Rendered at devicePixelRatio for crisp edges.
std::optional<QPixmap> render(const QString& name, qreal pointSize, QFont::Weight weight,
                              const QColor& tint, qreal devicePixelRatio = 1.0);

} // namespace SymbolImage
