// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SymbolImage.h"

#include "ui/UiResources.h"

#include <QCache>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cmath>

namespace SymbolImage {

namespace {

// Far beyond any size the interface uses; larger asks get no image rather than
// an allocation of gigabytes.
constexpr qreal maximumPixels = 2048;

// The symbols are drawn on a 24-unit grid whose strokes say stroke-width="2";
// other weights swap that width, the way a heavier font thickens its stems.
constexpr char drawnStroke[] = "stroke-width=\"2\"";

QString strokeFor(QFont::Weight weight)
{
    const qreal width = weight <= QFont::Light      ? 1.5
                        : weight <= QFont::Normal   ? 1.75
                        : weight <= QFont::Medium   ? 1.9
                        : weight <= QFont::DemiBold ? 2.1
                        : weight <= QFont::Bold     ? 2.35
                                                    : 2.6;
    return QStringLiteral("stroke-width=\"%1\"").arg(width);
}

bool isPlainName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
    return plain.match(name).hasMatch();
}

QString resourcePath(const QString& name)
{
    UiResources::ensureLoaded();
    return QStringLiteral(":/tavimo/symbols/%1.svg").arg(name);
}

std::optional<QByteArray> source(const QString& name)
{
    if (!isPlainName(name))
        return std::nullopt;
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Black ink becomes the tint; white ink drawn over it cuts a hole (the check in a
// shield), so one colour and knock-outs come from a plain two-colour drawing.
QImage tinted(const QImage& drawing, const QColor& tint)
{
    QImage out(drawing.size(), QImage::Format_ARGB32);
    const QRgb base = tint.rgb();
    const qreal tintAlpha = tint.alphaF();
    for (int y = 0; y < drawing.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(drawing.constScanLine(y));
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < drawing.width(); ++x) {
            const qreal ink = qAlpha(in[x]) * (255 - qGray(in[x])) / 255.0;
            line[x] = qRgba(qRed(base), qGreen(base), qBlue(base), int(ink * tintAlpha + 0.5));
        }
    }
    return out;
}

} // namespace

bool exists(const QString& name)
{
    return isPlainName(name) && QFile::exists(resourcePath(name));
}

qreal sideFor(qreal pointSize)
{
    // A symbol stands a little taller than the capitals of text of the same size.
    return pointSize * 7.0 / 6.0;
}

std::optional<QPixmap> render(const QString& name, qreal pointSize, QFont::Weight weight,
                              const QColor& tint, qreal devicePixelRatio)
{
    const qreal dpr =
        devicePixelRatio > 0 && std::isfinite(devicePixelRatio) ? devicePixelRatio : 1.0;
    if (!(pointSize > 0) || sideFor(pointSize) * dpr > maximumPixels)
        return std::nullopt;
    // Views render their symbol on every paint; parsing SVG each time would cost
    // far more than the paint itself.
    static QCache<QString, QPixmap> rendered(256);
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(name)
                            .arg(pointSize)
                            .arg(int(weight))
                            .arg(tint.rgba(), 8, 16)
                            .arg(dpr);
    if (const QPixmap* cached = rendered.object(key))
        return *cached;

    std::optional<QByteArray> svg = source(name);
    if (!svg)
        return std::nullopt;
    const QString weighted =
        QString::fromUtf8(*svg).replace(QLatin1String(drawnStroke), strokeFor(weight));
    QSvgRenderer renderer(weighted.toUtf8());
    if (!renderer.isValid())
        return std::nullopt;

    const int pixels = std::max(1, int(std::ceil(sideFor(pointSize) * dpr)));
    QImage drawing(pixels, pixels, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    {
        QPainter painter(&drawing);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    QPixmap pixmap = QPixmap::fromImage(tinted(drawing, tint));
    pixmap.setDevicePixelRatio(dpr);
    rendered.insert(key, new QPixmap(pixmap));
    return pixmap;
}

} // namespace SymbolImage
