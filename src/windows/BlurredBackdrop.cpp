#include "windows/BlurredBackdrop.h"

#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace BlurredBackdrop {
namespace {

constexpr int kShrinkFactor = 8;
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

// Averages each kShrinkFactor-square block into one pixel, reading every other pixel of
// it in both directions: a quarter of the reads of a full average, and after the blur
// no difference shows.
QImage shrink(const QImage& picture)
{
    const QImage source = picture.format() == QImage::Format_RGB32 ||
                                  picture.format() == QImage::Format_ARGB32_Premultiplied
                              ? picture
                              : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = std::max(1, source.width() / kShrinkFactor);
    const int height = std::max(1, source.height() / kShrinkFactor);
    QImage small(width, height, QImage::Format_ARGB32_Premultiplied);
    const bool opaque = !source.hasAlphaChannel();
    constexpr int kStep = 2;
    constexpr int kSamples = (kShrinkFactor / kStep) * (kShrinkFactor / kStep);
    // Blocks are whole: the few pixels past the last full block are left out.
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(small.scanLine(y));
        const uchar* rows[kShrinkFactor / kStep];
        for (int i = 0; i < kShrinkFactor / kStep; ++i)
            rows[i] =
                source.constScanLine(std::min(source.height() - 1, y * kShrinkFactor + i * kStep));
        for (int x = 0; x < width; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            const int left = std::min(x * kShrinkFactor, source.width() - kShrinkFactor);
            for (const uchar* row : rows) {
                const auto* line = reinterpret_cast<const QRgb*>(row) + std::max(0, left);
                for (int dx = 0; dx < kShrinkFactor && dx < source.width(); dx += kStep) {
                    const QRgb p = line[dx];
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                    sum[3] += qAlpha(p);
                }
            }
            out[x] = qRgba(int(sum[0] / kSamples), int(sum[1] / kSamples), int(sum[2] / kSamples),
                           opaque ? 255 : int(sum[3] / kSamples));
        }
    }
    return small;
}

QImage transposed(const QImage& image)
{
    return image.transformed(QTransform(0, 1, 1, 0, 0, 0));
}

} // namespace

QImage blur(const QImage& picture)
{
    if (picture.isNull())
        return {};
    QImage small = shrink(picture);
    for (int pass = 0; pass < kBoxPasses; ++pass)
        boxBlurRows(small, kBoxRadius);
    small = transposed(small);
    for (int pass = 0; pass < kBoxPasses; ++pass)
        boxBlurRows(small, kBoxRadius);
    return transposed(small);
}

QImage ofScreen(QScreen& screen)
{
    const QPixmap shot = screen.grabWindow(0);
    if (shot.isNull())
        return {};
    return blur(shot.toImage());
}

} // namespace BlurredBackdrop
