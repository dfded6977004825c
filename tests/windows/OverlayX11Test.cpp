#include "X11Windows.h"

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/x11/X11ScreenGrab.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QScreen>
#include <QtTest>

// The overlays on a real two-monitor X server with the Linux desktop layer: above
// every window while shown, the focus handed back when they hide, the compositor
// seen, and screenshots in the light and the dark appearance.
class OverlayX11Test : public QObject {
    Q_OBJECT

private:
    X11Windows m_x;
    platform::FakeKeyboardAccess m_keyboard;
    platform::LinuxDesktop m_desktop;
    QWidget m_wallpaper{nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint};

    unsigned int topViewable() const
    {
        unsigned int top = 0;
        for (const TopWindow& window : m_x.topLevels())
            top = window.viewable ? window.id : top;
        return top;
    }

    static void save(const QPixmap& pixmap, const QString& name)
    {
        const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            QVERIFY(pixmap.save(QDir(dir).filePath(name)));
    }

    // Locks on both screens, photographs the main window and each overlay, unlocks.
    void photographLock(const QString& appearance)
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QTest::qWait(100);
        save(controller.window()->grab(), QStringLiteral("main-window-%1.png").arg(appearance));
        controller.lockButtonClicked();
        QCOMPARE(controller.overlays().size(), 2);
        for (OverlayWindow* overlay : controller.overlays())
            QVERIFY(QTest::qWaitForWindowExposed(overlay));
        QTest::qWait(300);
        const QList<QScreen*> screens = QGuiApplication::screens();
        save(screens[0]->grabWindow(0), QStringLiteral("overlay-primary-%1.png").arg(appearance));
        save(screens[1]->grabWindow(0), QStringLiteral("overlay-secondary-%1.png").arg(appearance));
        controller.unlock();
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(m_x.isConnected(), "no X server");
        QCOMPARE(QGuiApplication::screens().size(), 2);
        platform::overrideForTesting(&m_keyboard, &m_desktop);

        // Something to blur behind the overlays: a wallpaper over both monitors.
        m_wallpaper.setGeometry(0, 0, 3200, 1080);
        QLinearGradient gradient(0, 0, 3200, 1080);
        gradient.setStops(
            {{0, QColor(40, 120, 200)}, {0.5, QColor(240, 170, 60)}, {1, QColor(60, 170, 90)}});
        QPalette palette;
        palette.setBrush(QPalette::Window, gradient);
        m_wallpaper.setPalette(palette);
        m_wallpaper.setAutoFillBackground(true);
        m_wallpaper.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_wallpaper));
    }

    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }

    void aShownOverlayIsRaisedAgainAboveAnyWindowStackedOverIt()
    {
        OverlayWindow overlay(QGuiApplication::screens().at(1), [] {});
        overlay.orderFrontRegardless();
        QVERIFY(QTest::qWaitForWindowExposed(&overlay));
        const auto overlayId = static_cast<unsigned int>(overlay.winId());
        QTRY_COMPARE_WITH_TIMEOUT(topViewable(), overlayId, 2000);

        const unsigned int intruder = m_x.mapPlainWindow(QPoint(2000, 100));
        QTRY_COMPARE_WITH_TIMEOUT(topViewable(), overlayId, 2000);
        m_x.raise(intruder);
        QTRY_COMPARE_WITH_TIMEOUT(topViewable(), overlayId, 2000);

        // Hidden, it no longer fights for the top.
        overlay.orderOut();
        m_x.raise(intruder);
        QTest::qWait(200);
        QCOMPARE(topViewable(), intruder);
        m_x.destroy(intruder);
    }

    void theKeyOverlayTakesTheFocusAndGivesItBackToAWindowStillThere()
    {
        const unsigned int typing = m_x.mapPlainWindow(QPoint(100, 100));
        const unsigned int other = m_x.mapPlainWindow(QPoint(500, 100));
        OverlayWindow overlay(QGuiApplication::primaryScreen(), [] {});
        const auto lockAndUnlock = [&](const std::function<void()>& meanwhile) {
            overlay.makeKeyAndOrderFront();
            QTRY_COMPARE_WITH_TIMEOUT(m_x.focus(), static_cast<unsigned int>(overlay.winId()),
                                      2000);
            meanwhile();
            overlay.orderOut();
        };
        m_x.setFocus(typing);
        lockAndUnlock([&] { QTRY_VERIFY_WITH_TIMEOUT(overlay.isActiveWindow(), 2000); });
        QTRY_COMPARE_WITH_TIMEOUT(m_x.focus(), typing, 2000);
        // Focus the user moved elsewhere meanwhile stays where the user put it.
        lockAndUnlock([&] { m_x.setFocus(other); });
        QTest::qWait(200);
        QCOMPARE(m_x.focus(), other);
        // A window gone meanwhile is not given the focus, and nothing breaks.
        lockAndUnlock([&] { m_x.destroy(other); });
        QTest::qWait(200);
        QVERIFY(m_x.focus() != other);
        m_x.destroy(typing);
    }

    void translucencyFollowsTheCompositingManager()
    {
        QVERIFY(!m_desktop.compositesWindows());
        QVERIFY(!OverlayWindow(QGuiApplication::primaryScreen(), [] {}).isTranslucent());
        {
            X11Windows compositor; // a stand-in that owns the selection and blends nothing
            QVERIFY(compositor.ownSelection("_NET_WM_CM_S0"));
            QVERIFY(m_desktop.compositesWindows());
            OverlayWindow translucent(QGuiApplication::primaryScreen(), [] {});
            QVERIFY(translucent.isTranslucent());
            QVERIFY(translucent.testAttribute(Qt::WA_TranslucentBackground));
        }
        // Its selection goes with its connection.
        QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.compositesWindows(), 2000);
    }

    void theShrunkSnapshotShowsEachScreensOwnContent()
    {
        // Scaled by the X server here, not by the fallback.
        QCOMPARE(platform::grabX11ScreenShrunk(QRect(1920, 0, 1280, 1024), 8).size(),
                 QSize(160, 128));
        for (QScreen* screen : QGuiApplication::screens()) {
            const QImage small = m_desktop.screenSnapshot(*screen, 8);
            QCOMPARE(small.size(), screen->geometry().size() / 8);
            const QImage full = screen->grabWindow(0).toImage();
            // The wallpaper's gradient, block by block: each small pixel is the colour in
            // the middle of its block, give or take the filter.
            for (const QPoint at : {QPoint(3, 3), QPoint(small.width() / 2, small.height() / 2),
                                    QPoint(small.width() - 4, small.height() - 4)}) {
                const QRgb expected = full.pixel(at * 8 + QPoint(4, 4));
                const QRgb actual = small.pixel(at);
                const int distance = qAbs(qRed(expected) - qRed(actual)) +
                                     qAbs(qGreen(expected) - qGreen(actual)) +
                                     qAbs(qBlue(expected) - qBlue(actual));
                QVERIFY2(distance <= 12, qPrintable(QStringLiteral("%1 at %2,%3: %4")
                                                        .arg(screen->name())
                                                        .arg(at.x())
                                                        .arg(at.y())
                                                        .arg(distance)));
            }
        }
    }

    void screenshotsInTheLightAndTheDarkAppearance()
    {
        const QPalette light = QApplication::palette();
        photographLock(QStringLiteral("light"));
        QPalette dark;
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            dark.setColor(role, QColor(45, 45, 48));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, QColor(235, 235, 235));
        QApplication::setPalette(dark);
        photographLock(QStringLiteral("dark"));
        QApplication::setPalette(light);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    OverlayX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "OverlayX11Test.moc"
