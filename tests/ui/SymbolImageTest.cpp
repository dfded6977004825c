#include "ui/SymbolImage.h"

#include <QGuiApplication>
#include <QTest>

namespace {

const QStringList allSymbols = {"lock.fill", "lock.open.fill",   "checkmark.shield.fill",
                                "hourglass", "hand.raised.fill", "exclamationmark.shield.fill"};

// Sum of opacity over the image: how much ink the symbol puts down.
double ink(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum / 255.0;
}

} // namespace

class SymbolImageTest : public QObject {
    Q_OBJECT

private slots:
    void everySymbolRendersInItsTint()
    {
        const QColor tint(52, 199, 89);
        for (const QString& name : allSymbols) {
            QVERIFY2(SymbolImage::exists(name), qPrintable(name));
            const auto pixmap = SymbolImage::render(name, 12, QFont::DemiBold, tint, 1.0);
            QVERIFY2(pixmap, qPrintable(name));
            const QImage image = pixmap->toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(14, 14));
            QVERIFY2(ink(image) > 20, qPrintable(name));
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) == 255)
                        QCOMPARE(QColor(image.pixel(x, y)), tint);
        }
    }

    void sizeFollowsPointsAndPixelRatio()
    {
        const auto sharp = SymbolImage::render("lock.fill", 14, QFont::DemiBold, Qt::white, 2.0);
        QVERIFY(sharp);
        QCOMPARE(sharp->devicePixelRatio(), 2.0);
        QCOMPARE(sharp->size(), QSize(33, 33));
        QCOMPARE(sharp->deviceIndependentSize(), QSizeF(16.5, 16.5));
    }

    void heavierWeightsPutDownMoreInk()
    {
        const auto regular = SymbolImage::render("hourglass", 24, QFont::Normal, Qt::black, 2.0);
        const auto bold = SymbolImage::render("hourglass", 24, QFont::Bold, Qt::black, 2.0);
        QVERIFY(regular && bold);
        QVERIFY(ink(bold->toImage()) > ink(regular->toImage()) * 1.1);
    }

    void marksAreCutOutOfFilledShields()
    {
        // The check mark shows as a hole, not as tinted ink on tinted ink.
        const auto shield =
            SymbolImage::render("checkmark.shield.fill", 48, QFont::DemiBold, Qt::black, 1.0);
        QVERIFY(shield);
        const QImage image = shield->toImage().convertToFormat(QImage::Format_ARGB32);
        int holes = 0;
        for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y)
            for (int x = image.width() / 3; x < image.width() * 2 / 3; ++x)
                holes += qAlpha(image.pixel(x, y)) < 40;
        QVERIFY(holes > 10);
    }

    void unknownNamesAndNonsenseSizesGiveNothing()
    {
        for (const QString& name : {QString("no.such.symbol"), QString(), QString("../TavimoIcon"),
                                    QString("lock.fill/../lock.fill"), QString("LOCK.FILL")}) {
            QVERIFY2(!SymbolImage::exists(name), qPrintable(name));
            QVERIFY2(!SymbolImage::render(name, 12, QFont::DemiBold, Qt::black), qPrintable(name));
        }
        for (qreal points : {0.0, -12.0, qQNaN(), qInf(), 1e7})
            QVERIFY(!SymbolImage::render("lock.fill", points, QFont::DemiBold, Qt::black));
        // A nonsense pixel ratio falls back to 1.
        const auto plain =
            SymbolImage::render("lock.fill", 12, QFont::DemiBold, Qt::black, qQNaN());
        QVERIFY(plain);
        QCOMPARE(plain->devicePixelRatio(), 1.0);
    }
};

QTEST_MAIN(SymbolImageTest)
#include "SymbolImageTest.moc"
