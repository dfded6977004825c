#include "windows/BlurredBackdrop.h"

#include "platform/Platform.h"

#include <QScreen>

#include <algorithm>
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

QImage ofScreen(QScreen& screen)
{
    return blur(platform::desktop().screenSnapshot(screen, kShrinkFactor));
}

} // namespace BlurredBackdrop
