// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>

// The interface font at a size in points, where a point is one device-independent
// pixel; fractional sizes such as 11.5 are kept.
namespace UiFont {

QFont system(qreal points, QFont::Weight weight);

} // namespace UiFont
