// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <vector>

// Contrast as the web's accessibility guidelines measure it, read off rendered pixels.
namespace Contrast {

inline double luminance(QRgb pixel)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) +
           0.0722 * linear(qBlue(pixel));
}

inline double ratio(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Tests measure in a widget's own coordinates; a grab holds the screen's device pixels.
inline QRect devicePixels(const QImage& image, const QRect& area)
{
    const qreal r = image.devicePixelRatio();
    return QRectF(QPointF(area.topLeft()) * r, QSizeF(area.size()) * r).toAlignedRect() &
           image.rect();
}

inline QRgb pixelAt(const QImage& image, QPoint at)
{
    return image.pixel((QPointF(at) * image.devicePixelRatio()).toPoint());
}

// Text drawn on a plain fill, inside an area: the fill is the pixel of median
// luminance (text covers less than half of the area), the text the pixel farthest
// from it.
struct TextOnFill {
    QRgb fill = 0;
    QRgb text = 0;
    double ratio = 1;
};

inline TextOnFill textOnFill(const QImage& image, const QRect& logicalArea)
{
    const QRect area = devicePixels(image, logicalArea);
    std::vector<QRgb> pixels;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            pixels.push_back(image.pixel(x, y));
    if (pixels.empty())
        return {};
    const auto byLuminance = [](QRgb a, QRgb b) {
        return luminance(a) < luminance(b);
    };
    std::nth_element(pixels.begin(), pixels.begin() + pixels.size() / 2, pixels.end(), byLuminance);
    TextOnFill result;
    result.fill = pixels[pixels.size() / 2];
    for (QRgb pixel : pixels)
        if (const double r = ratio(pixel, result.fill); r > result.ratio) {
            result.ratio = r;
            result.text = pixel;
        }
    return result;
}

// The greatest difference of any colour channel between two images over an area.
inline int largestChange(const QImage& a, const QImage& b, const QRect& logicalArea)
{
    const QRect area = devicePixels(a, logicalArea);
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

// A translucent rendering laid over a plain colour, as a compositor would show it.
inline QImage over(const QImage& rendering, QColor backdrop)
{
    const QImage translucent = rendering.convertToFormat(QImage::Format_ARGB32);
    QImage out(translucent.size(), QImage::Format_RGB32);
    out.setDevicePixelRatio(translucent.devicePixelRatio());
    out.fill(backdrop);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = translucent.pixel(x, y);
            const double a = qAlpha(p) / 255.0;
            const auto mix = [a](int front, int back) {
                return int(std::lround(front * a + back * (1 - a)));
            };
            out.setPixel(x, y,
                         qRgb(mix(qRed(p), backdrop.red()), mix(qGreen(p), backdrop.green()),
                              mix(qBlue(p), backdrop.blue())));
        }
    return out;
}

} // namespace Contrast
