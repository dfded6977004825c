// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/linux/LinuxDesktop.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

// The desktop behind everything, drawn by another process so that it is not one of
// Tavimo's own windows: a smooth gradient where the main window stands, sharp stripes
// and text far from it, for the blur to show.
int showWallpaper()
{
    QWidget wallpaper(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    wallpaper.setGeometry(0, 0, 3200, 1080);
    QImage image(3200, 1080, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 3200, 1080);
    gradient.setStops(
        {{0, QColor(40, 120, 200)}, {0.5, QColor(240, 170, 60)}, {1, QColor(60, 170, 90)}});
    painter.fillRect(image.rect(), gradient);
    for (int x = 0; x < 420; x += 12)
        painter.fillRect(x, 0, 6, 220, Qt::black);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 40, QFont::Bold));
    painter.drawText(QPoint(2100, 200), QStringLiteral("Right monitor text"));
    painter.end();
    QPalette palette;
    palette.setBrush(QPalette::Window, image);
    wallpaper.setPalette(palette);
    wallpaper.setAutoFillBackground(true);
    wallpaper.show();
    QTimer::singleShot(300, [] { std::fputs("shown\n", stdout), std::fflush(stdout); });
    return QApplication::exec();
}

// The X11 desktop layer, but as on Wayland: compositing, and no snapshot to be had.
class DesktopWithoutSnapshots final : public platform::Desktop {
public:
    platform::SystemVersion systemVersion() override { return m_x.systemVersion(); }
    bool prefersReducedMotion() override { return true; }
    bool openUrl(const QUrl& url) override { return m_x.openUrl(url); }
    void openKeyboardAccessSettings() override {}
    bool revealFile(const QString& path) override { return m_x.revealFile(path); }
    void placeAboveAllWindows(QWindow& window) override { m_x.placeAboveAllWindows(window); }
    void makeKeyWindow(QWindow& window) override { m_x.makeKeyWindow(window); }
    bool keepsAboveByItself(const QWindow& window) override
    {
        return m_x.keepsAboveByItself(window);
    }
    void holdOffIdle(bool) override {}
    bool compositesWindows() override { return m_x.compositesWindows(); }
    QImage screenSnapshot(QScreen&, int) override { return {}; }

private:
    platform::LinuxDesktop m_x;
};

int maxChannelDifference(QRgb a, QRgb b)
{
    return std::max(
        {qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
}

// The largest difference between two shots within an area, and where it is.
std::pair<int, QPoint> largestDifference(const QImage& a, const QImage& b, const QRect& area)
{
    std::pair<int, QPoint> largest{0, area.topLeft()};
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            largest = std::max(largest,
                               {maxChannelDifference(a.pixel(x, y), b.pixel(x, y)), QPoint(x, y)},
                               [](const auto& l, const auto& r) { return l.first < r.first; });
    return largest;
}

} // namespace

// On a two-monitor X server over a wallpaper: the overlays' cards read the same
// whether the main window stands behind them or not, with no compositing manager, with
// xcompmgr and with picom; and where no snapshot can be had and the compositor blends
// the overlay, nothing of the main window shows through the card.
class OverlayBackdropTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess m_keyboard;
    platform::LinuxDesktop m_desktop;
    QProcess m_wallpaper;
    QProcess m_compositor;
    const QRect m_left{0, 0, 1920, 1080};
    const QRect m_right{1920, 0, 1280, 1024};

    static QString artifact(const QString& name)
    {
        const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR") + "/backdrop";
        QDir().mkpath(dir);
        return QDir(dir).filePath(name);
    }

    // What the monitors show, blending included: a compositor paints its own picture,
    // which reading the windows' contents (xwd, QScreen::grabWindow) does not see.
    static QImage screenshot(const QString& name)
    {
        const QString path = artifact(name);
        if (QProcess::execute(QStringLiteral("import"), {"-window", "root", "-depth", "8", path}) !=
            0)
            return {};
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    }

    // The screen as it looks locked, with or without the main window behind the overlays.
    QImage lockedScreen(const QString& name, bool withMainWindow)
    {
        MainWindowController controller;
        if (withMainWindow) {
            controller.window()->show();
            if (!QTest::qWaitForWindowExposed(controller.window()))
                return {};
        }
        QTest::qWait(400); // the compositor's next frame, the wallpaper's repaint
        controller.lockButtonClicked();
        if (controller.overlays().size() != 2)
            return {};
        for (OverlayWindow* overlay : controller.overlays())
            if (!QTest::qWaitForWindowExposed(overlay))
                return {};
        QTest::qWait(400);
        const QImage shot = screenshot(name);
        controller.unlock();
        return shot;
    }

    static QRect cardOn(const QRect& monitor, QSize card)
    {
        QRect rect(QPoint(), card);
        rect.moveCenter(monitor.center());
        return rect;
    }

    // Starts a compositing manager and waits until it owns the screen's selection.
    bool startCompositor(const QString& program, const QStringList& arguments)
    {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            qWarning("%s is not installed (apt-get install %s)", qPrintable(program),
                     qPrintable(program));
            return false;
        }
        // Compositors report every X error of the clients they watch: not ours to read.
        m_compositor.setStandardOutputFile(QProcess::nullDevice());
        m_compositor.setStandardErrorFile(QProcess::nullDevice());
        m_compositor.start(program, arguments);
        if (!m_compositor.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!m_desktop.compositesWindows() && !deadline.hasExpired())
            QTest::qWait(20);
        QTest::qWait(200); // its first frame
        return m_desktop.compositesWindows();
    }

    void stopCompositor()
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            m_compositor.terminate();
            m_compositor.waitForFinished(5000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.compositesWindows(), 5000);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty(),
                 "import is not installed (apt-get install imagemagick)");
        platform::overrideForTesting(&m_keyboard, &m_desktop);
        m_wallpaper.start(QCoreApplication::applicationFilePath(), {"--wallpaper"});
        QVERIFY(m_wallpaper.waitForReadyRead(10000));
    }

    void cleanupTestCase()
    {
        stopCompositor();
        m_wallpaper.kill();
        m_wallpaper.waitForFinished(3000);
        platform::overrideForTesting(nullptr, nullptr);
    }

    void theMainWindowLeavesNoTraceInTheBlurredBackdrop_data()
    {
        QTest::addColumn<QString>("compositor");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no compositor") << QString() << QStringList();
        // With the shadows a compositor draws around windows.
        QTest::newRow("xcompmgr") << "xcompmgr" << QStringList{"-c"};
        QTest::newRow("picom") << "picom"
                               << QStringList{"--backend", "xrender",  "--config",
                                              "/dev/null", "--shadow", "--no-fading-openclose"};
    }

    void theMainWindowLeavesNoTraceInTheBlurredBackdrop()
    {
        QFETCH(QString, compositor);
        QFETCH(QStringList, arguments);
        if (!compositor.isEmpty())
            QVERIFY2(startCompositor(compositor, arguments),
                     qPrintable(compositor + " did not start compositing"));
        const QString name = compositor.isEmpty() ? QStringLiteral("none") : compositor;
        const QImage shown = lockedScreen(name + "-main-window-behind.png", true);
        const QImage hidden = lockedScreen(name + "-main-window-hidden.png", false);
        stopCompositor();
        QVERIFY(!shown.isNull() && !hidden.isNull());

        // The overlays are opaque pictures of the blurred desktop: nothing of the main
        // window, neither around the card nor behind its text.
        for (const QRect& monitor : {m_left, m_right}) {
            const auto [difference, at] = largestDifference(shown, hidden, monitor);
            qInfo("main window behind or not: at most %d/255 apart", difference);
            QVERIFY2(
                difference <= 6,
                qPrintable(
                    QStringLiteral("%1/255 at %2,%3").arg(difference).arg(at.x()).arg(at.y())));
        }
        // And the desktop is there, blurred, not one flat colour.
        QVERIFY(maxChannelDifference(shown.pixel(200, 540), shown.pixel(1700, 540)) > 40);

        // No shadow of the left overlay falls across the right one: the right monitor's
        // first columns carry on its backdrop.
        int edge = 0;
        for (int y : {100, 540, 900})
            edge = std::max(edge, maxChannelDifference(hidden.pixel(m_right.left() + 1, y),
                                                       hidden.pixel(m_right.left() + 40, y)));
        qInfo("right monitor's left edge against its backdrop: %d/255", edge);
        QEXPECT_FAIL("xcompmgr", "xcompmgr lets no opaque window out of its shadow", Continue);
        QVERIFY2(edge <= 8, qPrintable(QStringLiteral("%1/255").arg(edge)));
    }

    void withoutASnapshotTheCardHidesWhatTheCompositorBlendsBehindIt()
    {
        QVERIFY2(startCompositor(QStringLiteral("xcompmgr"), {}), "xcompmgr did not start");
        DesktopWithoutSnapshots desktop;
        platform::overrideForTesting(&m_keyboard, &desktop);
        const QImage shown =
            lockedScreen(QStringLiteral("no-snapshot-main-window-behind.png"), true);
        const QImage hidden =
            lockedScreen(QStringLiteral("no-snapshot-main-window-hidden.png"), false);
        platform::overrideForTesting(&m_keyboard, &m_desktop);
        stopCompositor();
        QVERIFY(!shown.isNull() && !hidden.isNull());

        // The main window's title, text and button are behind the card: within it,
        // short of its antialiased rim and round corners, nothing of them shows.
        const QRect card = cardOn(m_left, {380, 328});
        for (const QRect& inside : {card.adjusted(32, 2, -32, -2), card.adjusted(2, 32, -2, -32)}) {
            const auto [difference, at] = largestDifference(shown, hidden, inside);
            qInfo("through the card: at most %d/255", difference);
            QVERIFY2(
                difference <= 2,
                qPrintable(
                    QStringLiteral("%1/255 at %2,%3").arg(difference).arg(at.x()).arg(at.y())));
        }
        // Around the card the desktop does show through, dimmed.
        QVERIFY(largestDifference(shown, hidden, m_left).first > 30);
    }
};

int main(int argc, char** argv)
{
    // Motion reduced, as a desktop setting of KDE's says: otherwise the overlay's icon
    // breathes, and two shots taken a little apart in its cycle differ along its edges.
    static QTemporaryDir config;
    QFile kdeglobals(config.filePath(QStringLiteral("kdeglobals")));
    if (!config.isValid() || !kdeglobals.open(QIODevice::WriteOnly) ||
        kdeglobals.write("[KDE]\nAnimationDurationFactor=0\n") < 0)
        qFatal("cannot write a kdeglobals of the test's own");
    kdeglobals.close();
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    QApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--wallpaper")
        return showWallpaper();
    OverlayBackdropTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OverlayBackdropTest.moc"
