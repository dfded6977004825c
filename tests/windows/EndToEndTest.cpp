#include "X11TestSupport.h"
#include "X11Windows.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QtTest>

// The real program on a two-monitor X server: a click on "Lock keyboard" keeps every
// key from a focused client and covers both monitors; a click on "Unlock keyboard"
// gives the keys back and leaves the main window where it was.
class EndToEndTest : public QObject {
    Q_OBJECT

private:
    X11Windows m_x;
    QProcess m_tavimo;
    KeyClient m_client;
    KeyInjector m_keys;
    unsigned int m_clientWindow = 0;
    TopWindow m_mainWindow;
    QPoint m_lockButtonInWindow; // centre of "Lock keyboard" in the main window
    QPoint m_unlockButtonOffset; // centre of "Unlock keyboard" from the screen's centre
    QRect m_left;
    QRect m_right;

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

    static QImage screenshot(const QString& name)
    {
        // Both monitors side by side, as the server shows them.
        QImage image(3200, 1080, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        for (QScreen* screen : QGuiApplication::screens())
            painter.drawPixmap(screen->geometry().topLeft(), screen->grabWindow(0));
        painter.end();
        const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            image.save(QDir(dir).filePath(name));
        return image;
    }

    static bool isAccentBlue(QRgb pixel) { return qBlue(pixel) > qRed(pixel) + 60; }

    // Where this build places the two buttons, measured on windows laid out but never
    // mapped, with the fake platform layer.
    void measureButtons()
    {
        platform::FakeKeyboardAccess keyboard;
        platform::FakeDesktop desktop;
        platform::overrideForTesting(&keyboard, &desktop);
        {
            MainWindowController controller;
            controller.window()->setAttribute(Qt::WA_DontShowOnScreen);
            controller.window()->show();
            GlassButton* lock = controller.lockButton();
            m_lockButtonInWindow = lock->mapTo(controller.window(), lock->rect().center());

            QScreen* primary = QGuiApplication::primaryScreen();
            OverlayWindow overlay(primary, [] {});
            auto* unlock = overlay.findChild<GlassButton*>(QStringLiteral("unlockButton"));
            QVERIFY(unlock);
            m_unlockButtonOffset =
                unlock->mapTo(&overlay, unlock->rect().center()) - overlay.rect().center();
        }
        platform::overrideForTesting(nullptr, nullptr);
    }

    void waitForMainWindow()
    {
        TopWindow& found = m_mainWindow;
        const auto visible = [&] {
            for (const TopWindow& window : m_x.topLevels())
                if (window.viewable && !window.overrideRedirect &&
                    window.name == QStringLiteral("Tavimo") &&
                    window.geometry.size() == QSize(392, 456)) {
                    found = window;
                    return true;
                }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(visible(), 10000);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(m_x.isConnected(), "no X server");
        QVERIFY2(m_keys.isConnected(), "XTest unavailable");
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        m_left = screens[0]->geometry();
        m_right = screens[1]->geometry();
        QCOMPARE(m_left, QRect(0, 0, 1920, 1080));
        QCOMPARE(m_right, QRect(1920, 0, 1280, 1024));
        measureButtons();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"), QStringLiteral("1"));
        m_tavimo.setProcessEnvironment(environment);
        m_tavimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_tavimo.start(QStringLiteral(TAVIMO_EXECUTABLE), {});
        QVERIFY2(m_tavimo.waitForStarted(5000), qPrintable(m_tavimo.errorString()));
        waitForMainWindow();
        if (QTest::currentTestFailed())
            return;
        screenshot(QStringLiteral("e2e-1-main-window.png"))
            .copy(m_mainWindow.geometry)
            .save(QDir(qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR"))
                      .filePath(QStringLiteral("e2e-main-window-light.png")));

        QVERIFY2(m_client.start(), qPrintable(m_client.error()));
        m_clientWindow = m_x.focus();
        QVERIFY(m_clientWindow != 0);
    }

    void cleanupTestCase()
    {
        if (m_tavimo.state() != QProcess::NotRunning) {
            m_tavimo.terminate();
            if (!m_tavimo.waitForFinished(3000)) {
                m_tavimo.kill();
                m_tavimo.waitForFinished(3000);
            }
        }
    }

    void keysReachTheFocusedClientBeforeLocking()
    {
        const KeyClientState before = m_client.state();
        const int pressed = m_keys.tapAll();
        QVERIFY(pressed > 0);
        const KeyClientState after = m_client.state();
        QCOMPARE(after.presses - before.presses, long(pressed));
        QCOMPARE(after.releases - before.releases, long(pressed));
    }

    void lockingSwallowsEveryKeyAndCoversBothMonitors()
    {
        const QImage unlocked = screenshot(QStringLiteral("e2e-2-unlocked.png"));
        click(m_mainWindow.geometry.topLeft() + m_lockButtonInWindow);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 2, 5000);

        // Both overlays stand above every other window: the last two of the stacking order.
        const QList<TopWindow> stack = m_x.topLevels();
        QList<TopWindow> viewable;
        for (const TopWindow& window : stack)
            if (window.viewable)
                viewable.append(window);
        QVERIFY(viewable.size() >= 4);
        const QSet<QRect> topTwo{viewable.at(viewable.size() - 1).geometry,
                                 viewable.at(viewable.size() - 2).geometry};
        QCOMPARE(topTwo, (QSet<QRect>{m_left, m_right}));

        // The client holds the focus, as a program being typed into would.
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"),
                                                               QString::number(m_clientWindow)}),
                 0);
        QCOMPARE(m_x.focus(), m_clientWindow);
        const KeyClientState before = m_client.state();
        QVERIFY(m_keys.tapAll() > 0);
        m_keys.tap("a");
        const KeyClientState after = m_client.state();
        QCOMPARE(after.presses, before.presses);
        QCOMPARE(after.releases, before.releases);

        QTest::qWait(300); // let both overlays paint
        const QImage locked = screenshot(QStringLiteral("e2e-3-locked.png"));
        // Both monitors show the overlays: the client's black window on the left and the
        // bare black root on the right are dimmed glass now.
        for (const QPoint at : {QPoint(100, 100), QPoint(2500, 900)}) {
            QVERIFY2(locked.pixel(at) != unlocked.pixel(at),
                     qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        }
        // Only the primary overlay carries the unlock button.
        QVERIFY(isAccentBlue(locked.pixel(m_left.center() + m_unlockButtonOffset)));
        const QPoint sameSpotOnRight = m_right.center() + m_unlockButtonOffset;
        for (int dx = -60; dx <= 60; dx += 4)
            QVERIFY2(!isAccentBlue(locked.pixel(sameSpotOnRight + QPoint(dx, 0))),
                     "a button on the secondary overlay");
        // A click anywhere else does nothing.
        click(sameSpotOnRight);
        click(QPoint(200, 200));
        QTest::qWait(200);
        QCOMPARE(overlaysShown().size(), 2);
        m_keys.tap("b");
        QCOMPARE(m_client.state().presses, before.presses);
    }

    void unlockingBringsTheKeysBackAndLeavesTheMainWindowWhereItWas()
    {
        click(m_left.center() + m_unlockButtonOffset);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 0, 5000);

        const KeyClientState before = m_client.state();
        const int pressed = m_keys.tapAll();
        const KeyClientState after = m_client.state();
        QCOMPARE(after.presses - before.presses, long(pressed));
        QCOMPARE(after.releases - before.releases, long(pressed));

        const std::optional<TopWindow> mainWindow = m_x.find(m_mainWindow.id);
        QVERIFY(mainWindow);
        QVERIFY(mainWindow->viewable);
        QCOMPARE(mainWindow->geometry, m_mainWindow.geometry);
        screenshot(QStringLiteral("e2e-4-unlocked-again.png"));
    }

    void theFocusGoesBackToTheWindowThatHadIt()
    {
        // Clicking "Lock keyboard" gives the main window the focus; the primary overlay
        // takes it while locked and hands it back on unlock.
        click(m_mainWindow.geometry.topLeft() + m_lockButtonInWindow);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 2, 5000);
        const unsigned int primaryOverlay = [&] {
            for (const TopWindow& window : overlaysShown())
                if (window.geometry == m_left)
                    return window.id;
            return 0u;
        }();
        QTRY_COMPARE_WITH_TIMEOUT(m_x.focus(), primaryOverlay, 2000);

        click(m_left.center() + m_unlockButtonOffset);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown().size(), 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_x.focus(), m_mainWindow.id, 2000);
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
