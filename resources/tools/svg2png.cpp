// SPDX-License-Identifier: GPL-3.0-or-later

// Build tool: renders the icon artwork into square 8-bit RGBA PNGs of the given
// sizes (<prefix>-<size>.png) and packs them into one .icns file.
// Usage: tavimo_svg2png input.svg output-prefix output.icns size...
//
// The icns entries hold PNG data: Qt's icns reader decodes PNG entries, while
// the JPEG 2000 entries that png2icns writes for 256 and 512 px it cannot read.
#include <QByteArray>
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>
#include <map>

namespace {

const std::map<int, QByteArray> icnsTypes = {
    {128, "ic07"}, {256, "ic08"}, {512, "ic09"}, {1024, "ic10"}};

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    // No display is needed to draw into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s input.svg output-prefix output.icns size...\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not a readable SVG\n", argv[1]);
        return 1;
    }
    QByteArray entries;
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || !icnsTypes.count(size)) {
            std::fprintf(stderr, "%s: not an icns size (128, 256, 512, 1024)\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();

        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            std::fprintf(stderr, "cannot encode %d px\n", size);
            return 1;
        }
        QFile out(QStringLiteral("%1-%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(size));
        if (!out.open(QIODevice::WriteOnly) || out.write(png) != png.size()) {
            std::fprintf(stderr, "%s: cannot write\n", qPrintable(out.fileName()));
            return 1;
        }
        entries += icnsTypes.at(size) + bigEndian32(quint32(png.size() + 8)) + png;
    }
    QFile icns(QString::fromLocal8Bit(argv[3]));
    const QByteArray file = "icns" + bigEndian32(quint32(entries.size() + 8)) + entries;
    if (!icns.open(QIODevice::WriteOnly) || icns.write(file) != file.size()) {
        std::fprintf(stderr, "%s: cannot write\n", argv[3]);
        return 1;
    }
    return 0;
}
