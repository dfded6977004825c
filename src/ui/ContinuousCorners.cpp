// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ContinuousCorners.h"

#include <algorithm>

namespace ContinuousCorners {

namespace {
// Each corner is one cubic that starts 1.25 radii from the corner and pulls its
// handles long: curvature builds up gradually. When the sides are too short for
// that reach (a capsule), it falls back to a circular arc.
constexpr qreal reach = 1.25;
constexpr qreal circleHandle = 0.5523;
constexpr qreal smoothHandle = 0.66;
} // namespace

QPainterPath path(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    if (radius <= 0 || rect.isEmpty()) {
        path.addRect(rect);
        return path;
    }
    const qreal limit = std::min(rect.width(), rect.height()) / 2;
    const qreal r = std::min(radius, limit);
    const qreal a = std::min(r * reach, limit);
    const qreal blend = (r * reach > r) ? (a - r) / (r * reach - r) : 0;
    const qreal handle = a * (1 - (circleHandle + (smoothHandle - circleHandle) * blend));

    const qreal l = rect.left(), t = rect.top(), rt = rect.right(), b = rect.bottom();
    path.moveTo(l + a, t);
    path.lineTo(rt - a, t);
    path.cubicTo(rt - handle, t, rt, t + handle, rt, t + a);
    path.lineTo(rt, b - a);
    path.cubicTo(rt, b - handle, rt - handle, b, rt - a, b);
    path.lineTo(l + a, b);
    path.cubicTo(l + handle, b, l, b - handle, l, b - a);
    path.lineTo(l, t + a);
    path.cubicTo(l, t + handle, l + handle, t, l + a, t);
    path.closeSubpath();
    return path;
}

} // namespace ContinuousCorners
