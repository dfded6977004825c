// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/AppIcon.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

namespace {

QIcon solid(QColor colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

QRgb centre(const QIcon& icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().pixel(16, 16);
}

} // namespace

class AppIconTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

    // The desktop knows a green icon under the application's name, or no icon at all.
    void desktopKnowsTheIcon(bool known)
    {
        QIcon::setFallbackSearchPaths(known ? QStringList{scratch.path()} : QStringList{});
    }

private slots:
    void initTestCase()
    {
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName("no-such-theme");
        QVERIFY(
            solid(Qt::green).pixmap(32).save(scratch.filePath(AppIcon::themeIconName() + ".png")));
        QFile garbage(scratch.filePath("TavimoIcon.icns"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("icns\0\0\0\x10not an icon at all", 24);
    }

    void theShippedIconComesFirst()
    {
        desktopKnowsTheIcon(true);
        QApplication::setWindowIcon(solid(Qt::red));
        QCOMPARE(QImageReader(AppIcon::resourcePath()).format(), QByteArray("icns"));

        const std::optional<QIcon> icon = AppIcon::image();
        QVERIFY(icon && !icon->isMask());
        QVERIFY(icon->availableSizes().contains(QSize(512, 512)));
        // Full colour artwork, not a silhouette.
        const QImage big = icon->pixmap(QSize(512, 512)).toImage();
        QVERIFY(big.pixelColor(256, 200).saturation() > 80);
        QCOMPARE(big.pixelColor(2, 2).alpha(), 0);
    }

    void missingOrUnreadableResourceFallsBackInOrder_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::newRow("missing") << scratch.filePath("nowhere/TavimoIcon.icns");
        QTest::newRow("unreadable") << scratch.filePath("TavimoIcon.icns");
    }

    void missingOrUnreadableResourceFallsBackInOrder()
    {
        QFETCH(QString, resource);
        AppIcon::setResourcePathForTesting(resource);

        // The desktop's named application icon.
        desktopKnowsTheIcon(true);
        QIcon running = solid(Qt::red);
        running.setIsMask(true);
        QApplication::setWindowIcon(running);
        std::optional<QIcon> icon = AppIcon::image();
        QVERIFY(icon);
        QCOMPARE(centre(*icon), QColor(Qt::green).rgb());

        // Else the running application's icon, as full colour even when it was a mask.
        desktopKnowsTheIcon(false);
        icon = AppIcon::image();
        QVERIFY(icon && !icon->isMask());
        QCOMPARE(centre(*icon), QColor(Qt::red).rgb());

        // Else nothing.
        QApplication::setWindowIcon(QIcon());
        QVERIFY(!AppIcon::image());
        AppIcon::setResourcePathForTesting(QString());
    }
};

QTEST_MAIN(AppIconTest)
#include "AppIconTest.moc"
