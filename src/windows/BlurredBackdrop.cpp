// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/BlurredBackdrop.h"

#include "platform/Platform.h"

#include <QScreen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace BlurredBackdrop {
namespace {

constexpr int kBoxRadius = 2;
constexpr int kBoxPasses = 3; // three box blurs come close to a Gaussian

// One horizontal box-blur pass over every row of a 32-bit image, running sums per channel.
void boxBlurRows(QImage& image, int radius)
{
    const int width = image.width();
    std::vector<QRgb> row(static_cast<std::size_t>(width));
    const int window = 2 * radius + 1;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::copy(line, line + width, row.begin());
        int sum[4] = {0, 0, 0, 0};
        const auto at = [&](int x) {
            return row[static_cast<std::size_t>(std::clamp(x, 0, width - 1))];
        };
        for (int x = -radius; x <= radius; ++x) {
            const QRgb p = at(x);
            sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
        }
        for (int x = 0; x < width; ++x) {
            line[x] = qRgba(sum[0] / window, sum[1] / window, sum[2] / window, sum[3] / window);
            const QRgb out = at(x - radius);
            const QRgb in = at(x + radius + 1);
            sum[0] += qRed(in) - qRed(out);
            sum[1] += qGreen(in) - qGreen(out);
            sum[2] += qBlue(in) - qBlue(out);
            sum[3] += qAlpha(in) - qAlpha(out);
        }
    }
}

QImage transposed(const QImage& image)
{
    return image.transformed(QTransform(0, 1, 1, 0, 0, 0));
}

} // namespace

QImage blur(const QImage& small)
{
    if (small.isNull())
        return {};
    QImage blurred = small.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < kBoxPasses; ++pass)
        boxBlurRows(blurred, kBoxRadius);
    blurred = transposed(blurred);
    for (int pass = 0; pass < kBoxPasses; ++pass)
        boxBlurRows(blurred, kBoxRadius);
    return transposed(blurred);
}

void fillFromSurroundings(QImage& image, const QRect& area)
{
    const QRect inside = area & image.rect();
    if (inside.isEmpty() || image.depth() != 32)
        return;
    // The nearest pixel outside the area on each side, if the image has one there.
    const bool hasLeft = inside.left() > 0;
    const bool hasRight = inside.right() < image.width() - 1;
    const bool hasTop = inside.top() > 0;
    const bool hasBottom = inside.bottom() < image.height() - 1;
    if (!hasLeft && !hasRight && !hasTop && !hasBottom)
        return;
    const QImage source = image.copy();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            double sum[4] = {0, 0, 0, 0};
            double weights = 0;
            const auto add = [&](bool present, int sx, int sy, int distance) {
                if (!present)
                    return;
                const QRgb p = source.pixel(sx, sy);
                const double w = 1.0 / distance;
                sum[0] += w * qRed(p), sum[1] += w * qGreen(p), sum[2] += w * qBlue(p),
                    sum[3] += w * qAlpha(p);
                weights += w;
            };
            add(hasLeft, inside.left() - 1, y, x - inside.left() + 1);
            add(hasRight, inside.right() + 1, y, inside.right() + 1 - x);
            add(hasTop, x, inside.top() - 1, y - inside.top() + 1);
            add(hasBottom, x, inside.bottom() + 1, inside.bottom() + 1 - y);
            line[x] = qRgba(qRound(sum[0] / weights), qRound(sum[1] / weights),
                            qRound(sum[2] / weights), qRound(sum[3] / weights));
        }
    }
}

QImage ofScreen(QScreen& screen, const QList<QRect>& leftOut)
{
    QImage small = platform::desktop().screenSnapshot(screen, kShrinkFactor);
    if (small.isNull())
        return {};
    small = small.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRect geometry = screen.geometry();
    const qreal scaleX = qreal(small.width()) / geometry.width();
    const qreal scaleY = qreal(small.height()) / geometry.height();
    for (const QRect& window : leftOut) {
        const QRectF around =
            QRectF(window.adjusted(-kShadowMargin, -kShadowMargin, kShadowMargin, kShadowMargin)
                       .translated(-geometry.topLeft()));
        // Every small pixel the window touches, even in part.
        const QRect area(
            QPoint(int(std::floor(around.left() * scaleX)), int(std::floor(around.top() * scaleY))),
            QPoint(int(std::ceil(around.right() * scaleX)) - 1,
                   int(std::ceil(around.bottom() * scaleY)) - 1));
        fillFromSurroundings(small, area);
    }
    return blur(small);
}

} // namespace BlurredBackdrop
