#include "WindowsTestSupport.h"
#include "X11TestSupport.h"
#include "X11Windows.h"

#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QPainter>
#include <QProcess>
#include <QScreen>

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
    QPoint m_lockButton;   // centre of "Lock keyboard" in the main window
    QPoint m_unlockOffset; // centre of "Unlock keyboard" from the screen's centre
    const QRect m_left{0, 0, 1920, 1080};
    const QRect m_right{1920, 0, 1280, 1024};

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
            if (window.viewable && !window.overrideRedirect && window.name == "Tavimo" &&
                window.geometry.size() == QSize(392, 456)) {
                m_mainWindow = window;
                return true;
            }
        return false;
    }

    // Both monitors side by side, as the server shows them; saved for a look.
    static QImage screenshot(const QString& name)
    {
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
        {
            // Where this build places the two buttons, on windows laid out but never mapped.
            FakePlatform fake;
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

    void cleanupTestCase()
    {
        m_tavimo.terminate();
        if (!m_tavimo.waitForFinished(3000))
            m_tavimo.kill();
        m_tavimo.waitForFinished(3000);
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
