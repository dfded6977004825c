// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPainterPath>
#include <QRectF>

// A rounded rectangle whose corners ease into the straight edges instead of
// meeting them with a visible kink, the way the Mac's "continuous" corners do.
namespace ContinuousCorners {

QPainterPath path(const QRectF& rect, qreal radius);

} // namespace ContinuousCorners
