// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SymbolImage.h"

#include <QGuiApplication>
#include <QTest>

namespace {

// How much ink a symbol puts down: the sum of opacity over the image.
double ink(const std::optional<QPixmap>& pixmap)
{
    if (!pixmap)
        return 0;
    const QImage image = pixmap->toImage().convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y)) / 255.0;
    return sum;
}

} // namespace

class SymbolImageTest : public QObject {
    Q_OBJECT

private slots:
    void everySymbolRendersInItsTintSizeAndWeight()
    {
        const QColor tint(52, 199, 89);
        for (const char* name :
             {"lock.fill", "lock.open.fill", "checkmark.shield.fill", "hourglass",
              "hand.raised.fill", "exclamationmark.shield.fill", "computermouse.fill"}) {
            const auto pixmap = SymbolImage::render(name, 12, QFont::DemiBold, tint, 1.0);
            QVERIFY2(SymbolImage::exists(name) && pixmap && ink(pixmap) > 20, name);
            const QImage image = pixmap->toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(14, 14));
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) == 255)
                        QCOMPARE(QColor(image.pixel(x, y)), tint);
        }
        // Drawn at the screen's density, not scaled up afterwards.
        const auto sharp = SymbolImage::render("lock.fill", 14, QFont::DemiBold, Qt::white, 2.0);
        QVERIFY(sharp);
        QCOMPARE(sharp->size(), QSize(33, 33));
        QCOMPARE(sharp->deviceIndependentSize(), QSizeF(16.5, 16.5));
        const auto regular = SymbolImage::render("hourglass", 24, QFont::Normal, Qt::black, 2.0);
        QVERIFY(ink(SymbolImage::render("hourglass", 24, QFont::Bold, Qt::black, 2.0)) >
                ink(regular) * 1.1);
    }

    void unknownNamesAndNonsenseSizesGiveNothing()
    {
        for (const char* name : {"no.such.symbol", "", "../TavimoIcon"}) {
            QVERIFY2(!SymbolImage::exists(name), name);
            QVERIFY2(!SymbolImage::render(name, 12, QFont::DemiBold, Qt::black), name);
        }
        for (qreal points : {0.0, qQNaN(), 1e7})
            QVERIFY(!SymbolImage::render("lock.fill", points, QFont::DemiBold, Qt::black));
    }
};

QTEST_MAIN(SymbolImageTest)
#include "SymbolImageTest.moc"
