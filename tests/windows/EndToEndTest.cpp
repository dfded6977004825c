#include "X11TestSupport.h"
#include "X11Windows.h"

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/x11/X11ScreenGrab.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QProcess>
#include <QScreen>
#include <QtTest>

// On a two-monitor X server: first the overlays in this process with the Linux desktop
// layer (above every window, the focus handed back, the compositor seen, screenshots in
// the light and the dark appearance); then the real program, where a click on "Lock
// keyboard" keeps every key from a focused client and covers both monitors, and a click
// on "Unlock keyboard" gives the keys back and leaves the main window where it was.
class EndToEndTest : public QObject {
    Q_OBJECT

private:
    X11Windows m_x;
    platform::FakeKeyboardAccess m_keyboard;
    platform::LinuxDesktop m_desktop;
    QWidget m_wallpaper{nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint};
    QProcess m_tavimo;
    KeyClient m_client;
    KeyInjector m_keys;
    unsigned int m_clientWindow = 0;
    TopWindow m_mainWindow;
    QPoint m_lockButton;   // centre of "Lock keyboard" in the main window
    QPoint m_unlockOffset; // centre of "Unlock keyboard" from the screen's centre
    const QRect m_left{0, 0, 1920, 1080};
    const QRect m_right{1920, 0, 1280, 1024};

    unsigned int topViewable() const
    {
        unsigned int top = 0;
        for (const TopWindow& window : m_x.topLevels())
            top = window.viewable ? window.id : top;
        return top;
    }

    static void save(const QImage& image, const QString& name)
    {
        const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            QVERIFY(image.save(QDir(dir).filePath(name)));
    }

    // Locks on both screens, photographs the main window and both overlays, unlocks.
    void photographLock(const QString& appearance)
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QTest::qWait(100);
        save(controller.window()->grab().toImage(),
             QStringLiteral("main-window-%1.png").arg(appearance));
        controller.lockButtonClicked();
        QCOMPARE(controller.overlays().size(), 2);
        for (OverlayWindow* overlay : controller.overlays())
            QVERIFY(QTest::qWaitForWindowExposed(overlay));
        QTest::qWait(300);
        screenshot(QStringLiteral("overlays-%1.png").arg(appearance));
        controller.unlock();
    }

    static void click(QPoint at)
    {
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                                   {QStringLiteral("mousemove"), QString::number(at.x()),
                                    QString::number(at.y()), QStringLiteral("click"),
                                    QStringLiteral("1")}),
                 0);
    }

    QList<TopWindow> overlaysShown() const
    {
        QList<TopWindow> overlays;
        for (const TopWindow& window : m_x.topLevels())
            if (window.viewable && window.overrideRedirect &&
                (window.geometry == m_left || window.geometry == m_right))
                overlays.append(window);
        return overlays;
    }

    bool findMainWindow()
    {
        for (const TopWindow& window : m_x.topLevels())
            if (window.viewable && !window.overrideRedirect &&
                window.geometry.size() == QSize(392, 456)) {
                m_mainWindow = window;
                return true;
            }
        return false;
    }

    // Both monitors side by side, as the server shows them; saved for a look.
    static QImage screenshot(const QString& name)
    {
        const QImage image =
            QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 3200, 1080).toImage();
        save(image, name);
        return image;
    }

    static bool isAccentBlue(QRgb pixel) { return qBlue(pixel) > qRed(pixel) + 60; }

    void verifyEveryKeyArrives()
    {
        const KeyClientState before = m_client.state();
        const int pressed = m_keys.tapAll();
        QVERIFY(pressed > 0);
        const KeyClientState after = m_client.state();
        QCOMPARE(after.presses - before.presses, long(pressed));
        QCOMPARE(after.releases - before.releases, long(pressed));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(m_x.isConnected(), "no X server");
        QVERIFY2(m_keys.isConnected(), "XTest unavailable");
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(QGuiApplication::screens()[0]->geometry(), m_left);
        QCOMPARE(QGuiApplication::screens()[1]->geometry(), m_right);
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

    void cleanupTestCase()
    {
        m_tavimo.terminate();
        if (!m_tavimo.waitForFinished(3000))
            m_tavimo.kill();
        m_tavimo.waitForFinished(3000);
        platform::overrideForTesting(nullptr, nullptr);
    }

    // The overlays in this process

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
                QVERIFY2(distance <= 12, qPrintable(screen->name()));
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
    // The real program

    void theProgramShowsItsMainWindow()
    {
        m_wallpaper.hide();
        {
            // Where this build places the two buttons, on windows laid out but never mapped.
            MainWindowController controller;
            controller.window()->setAttribute(Qt::WA_DontShowOnScreen);
            controller.window()->show();
            const GlassButton* lock = controller.lockButton();
            m_lockButton = lock->mapTo(controller.window(), lock->rect().center());
            OverlayWindow overlay(QGuiApplication::primaryScreen(), [] {});
            const auto* unlock = overlay.findChild<GlassButton*>(QStringLiteral("unlockButton"));
            QVERIFY(unlock);
            m_unlockOffset =
                unlock->mapTo(&overlay, unlock->rect().center()) - overlay.rect().center();
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"), QStringLiteral("1"));
        m_tavimo.setProcessEnvironment(environment);
        m_tavimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_tavimo.start(QStringLiteral(TAVIMO_EXECUTABLE), {});
        QVERIFY2(m_tavimo.waitForStarted(5000), qPrintable(m_tavimo.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(findMainWindow(), 10000);
        QVERIFY2(m_client.start(), qPrintable(m_client.error()));
        m_clientWindow = m_x.focus();
        QVERIFY(m_clientWindow != 0);
    }

    void lockingSwallowsEveryKeyAndCoversBothMonitors()
    {
        verifyEveryKeyArrives(); // the client does hear the keys while unlocked
        const QImage unlocked = screenshot(QStringLiteral("e2e-unlocked.png"));
        click(m_mainWindow.geometry.topLeft() + m_lockButton);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_x.find(m_x.focus()).value_or(TopWindow()).geometry, m_left,
                                  2000);

        // The client takes the focus back, as a program being typed into would.
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"),
                                                               QString::number(m_clientWindow)}),
                 0);
        QCOMPARE(m_x.focus(), m_clientWindow);
        const KeyClientState before = m_client.state();
        QVERIFY(m_keys.tapAll() > 0);
        const KeyClientState after = m_client.state();
        QCOMPARE(after.presses, before.presses);
        QCOMPARE(after.releases, before.releases);

        QTest::qWait(300); // let both overlays paint
        const QImage locked = screenshot(QStringLiteral("e2e-locked.png"));
        // The client's window on the left and the bare root on the right are glass now.
        for (const QPoint at : {QPoint(100, 100), QPoint(2500, 900)})
            QVERIFY2(locked.pixel(at) != unlocked.pixel(at),
                     qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        // Only the primary overlay carries the unlock button.
        QVERIFY(isAccentBlue(locked.pixel(m_left.center() + m_unlockOffset)));
        const QPoint sameSpotOnRight = m_right.center() + m_unlockOffset;
        for (int dx = -60; dx <= 60; dx += 4)
            QVERIFY2(!isAccentBlue(locked.pixel(sameSpotOnRight + QPoint(dx, 0))),
                     "a button on the secondary overlay");
    }

    void unlockingBringsTheKeysBackAndLeavesTheMainWindowWhereItWas()
    {
        click(m_left.center() + m_unlockOffset);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 0, 5000);
        verifyEveryKeyArrives();
        const std::optional<TopWindow> mainWindow = m_x.find(m_mainWindow.id);
        QVERIFY(mainWindow && mainWindow->viewable);
        QCOMPARE(mainWindow->geometry, m_mainWindow.geometry);
        QCOMPARE(m_tavimo.state(), QProcess::Running); // unlocking never quits
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EndToEndTest.moc"
