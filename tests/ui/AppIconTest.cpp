#include "ui/AppIcon.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage solid(QColor colour, int side = 32)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QRgb centre(const QIcon& icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().pixel(16, 16);
}

} // namespace

class AppIconTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    QString themeRoot;

    // An icon theme that knows the application, as an installed desktop would.
    void installTheme()
    {
        themeRoot = scratch.filePath("icons");
        const QString theme = themeRoot + "/tavimo-test";
        QVERIFY(QDir().mkpath(theme + "/32x32/apps"));
        QFile index(theme + "/index.theme");
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=tavimo-test\nDirectories=32x32/apps\n\n"
                    "[32x32/apps]\nSize=32\nType=Fixed\n");
        index.close();
        QVERIFY(solid(Qt::green).save(theme + "/32x32/apps/" + AppIcon::themeIconName() + ".png"));
    }

    void useTheme(bool known)
    {
        QIcon::setThemeSearchPaths(known ? QStringList{themeRoot} : QStringList{});
        QIcon::setThemeName(known ? "tavimo-test" : "no-such-theme");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        installTheme();
    }

    void init()
    {
        AppIcon::setResourcePathForTesting(QString());
        useTheme(false);
        QApplication::setWindowIcon(QIcon());
    }

    void theShippedIconComesFirst()
    {
        useTheme(true);
        QApplication::setWindowIcon(QIcon(QPixmap::fromImage(solid(Qt::red))));
        QImageReader reader(AppIcon::resourcePath());
        QCOMPARE(reader.format(), QByteArray("icns"));
        QCOMPARE(reader.imageCount(), 3);

        const std::optional<QIcon> icon = AppIcon::image();
        QVERIFY(icon);
        QVERIFY(!icon->isMask());
        const QList<QSize> sizes = icon->availableSizes();
        for (int side : {128, 256, 512})
            QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
        QVERIFY(icon->name().isEmpty());
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
        QTest::newRow("empty") << scratch.filePath("empty/TavimoIcon.icns");
        QTest::newRow("folder") << scratch.filePath("folder.icns");
    }

    void missingOrUnreadableResourceFallsBackInOrder()
    {
        QFETCH(QString, resource);
        QFile garbage(scratch.filePath("TavimoIcon.icns"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("icns\0\0\0\x10not an icon at all", 24);
        garbage.close();
        QVERIFY(QDir().mkpath(scratch.filePath("empty")));
        QFile(scratch.filePath("empty/TavimoIcon.icns")).open(QIODevice::WriteOnly);
        QVERIFY(QDir().mkpath(scratch.filePath("folder.icns")));
        AppIcon::setResourcePathForTesting(resource);

        // The desktop's named application icon.
        useTheme(true);
        QIcon running(QPixmap::fromImage(solid(Qt::red)));
        running.setIsMask(true);
        QApplication::setWindowIcon(running);
        std::optional<QIcon> icon = AppIcon::image();
        QVERIFY(icon);
        QCOMPARE(icon->name(), AppIcon::themeIconName());
        QCOMPARE(centre(*icon), QColor(Qt::green).rgb());
        QVERIFY(!icon->isMask());

        // Else the running application's icon, as full colour even when it was a mask.
        useTheme(false);
        icon = AppIcon::image();
        QVERIFY(icon);
        QCOMPARE(centre(*icon), QColor(Qt::red).rgb());
        QVERIFY(!icon->isMask());
        QVERIFY(QApplication::windowIcon().isMask());

        // Else nothing.
        QApplication::setWindowIcon(QIcon());
        QVERIFY(!AppIcon::image());
    }
};

QTEST_MAIN(AppIconTest)
#include "AppIconTest.moc"
