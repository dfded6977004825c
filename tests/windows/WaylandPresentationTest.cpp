// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/wayland/WaylandDesktop.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <QtTest>

// Under a headless sway with two outputs of different sizes (tests/support/with-sway.sh),
// the overlays of a lock as the compositor shows them, read back with grim: each output
// covered by a translucent overlay of its own, the button only on the primary one, the
// overlays on the overlay layer where nothing covers them, and outputs added and taken
// away during the lock. The keyboard is the fake one; the desktop layer is the real one.
class WaylandPresentationTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess m_keyboard;
    const QRect m_left{0, 0, 1920, 1080};
    const QRect m_right{1920, 0, 1280, 1024};
    QImage m_unlocked;

    static QString artifact(const QString& name)
    {
        return QDir(qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR", QDir::tempPath())).filePath(name);
    }

    static int run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        if (!process.waitForFinished(10000))
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    static int sway(const QStringList& arguments)
    {
        return run(QStringLiteral("swaymsg"), arguments);
    }

    // A nested sway's output is a window of the hosting sway: closing it unplugs the
    // output. A headless sway from 1.8 on unplugs its own.
    static int unplug(const QString& output)
    {
        const QString host = qEnvironmentVariable("TAVIMO_HOST_SWAYSOCK");
        if (host.isEmpty())
            return sway({QStringLiteral("output"), output, QStringLiteral("unplug")});
        return run(QStringLiteral("swaymsg"),
                   {QStringLiteral("-s"), host,
                    QStringLiteral("[title=\"^wlroots - %1$\"] kill").arg(output)});
    }

    // What the compositor shows, all outputs side by side or one of them; saved for a look.
    // A headless output is redrawn only when something changes on it: give it time.
    static QImage screenshot(const QString& name, const QString& output = {})
    {
        QTest::qWait(400);
        const QString path = artifact(name);
        QStringList arguments;
        if (!output.isEmpty())
            arguments << QStringLiteral("-o") << output;
        arguments << path;
        if (run(QStringLiteral("grim"), arguments) != 0)
            return {};
        return QImage(path);
    }

    // The nodes of sway's tree, depth first.
    static QList<QJsonObject> swayNodes()
    {
        QByteArray json;
        if (run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")},
                &json) != 0)
            return {};
        QList<QJsonObject> nodes;
        QList<QJsonObject> pending{QJsonDocument::fromJson(json).object()};
        while (!pending.isEmpty()) {
            const QJsonObject node = pending.takeLast();
            nodes.append(node);
            QList<QJsonObject> children;
            for (const char* key : {"nodes", "floating_nodes"})
                for (const QJsonValue child : node.value(QLatin1String(key)).toArray())
                    children.append(child.toObject());
            std::reverse(children.begin(), children.end());
            pending.append(children);
        }
        return nodes;
    }

    static bool swayShowsWindow(const QString& title)
    {
        for (const QJsonObject& node : swayNodes())
            if (node.value(QLatin1String("name")).toString() == title &&
                node.value(QLatin1String("visible")).toBool())
                return true;
        return false;
    }

    static GlassButton* unlockButtonOf(const OverlayWindow* overlay)
    {
        return overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
    }

    // Where the unlock button's centre lies, from the centre of its overlay.
    static QPoint unlockOffset(const OverlayWindow* overlay)
    {
        const GlassButton* button = unlockButtonOf(overlay);
        return button->mapTo(overlay, button->rect().center()) - overlay->rect().center();
    }

    // Outputs by where they are: compositors announce them in an order of their own (sway
    // 1.12 the second one first), and Qt's list and its primary screen follow that order.
    static QScreen* screenAt(const QRect& geometry)
    {
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->geometry() == geometry)
                return screen;
        return nullptr;
    }

    // Where the screen lies in a shot of all outputs side by side.
    QRect primaryArea() const
    {
        return QGuiApplication::primaryScreen()->geometry() == m_left ? m_left : m_right;
    }
    QRect secondaryArea() const { return primaryArea() == m_left ? m_right : m_left; }

    static bool isAccentBlue(QRgb pixel) { return qBlue(pixel) > qRed(pixel) + 60; }

    // No accent colour along the row where an overlay centred there would show its button.
    static bool showsNoButton(const QImage& image, QPoint centre, QPoint offset)
    {
        for (int dx = -60; dx <= 60; dx += 4)
            if (isAccentBlue(image.pixel(centre + offset + QPoint(dx, 0))))
                return false;
        return true;
    }

    static OverlayWindow* overlayOf(const MainWindowController& controller, QScreen* screen)
    {
        for (OverlayWindow* overlay : controller.overlays())
            if (overlay->coveredScreen() == screen)
                return overlay;
        return nullptr;
    }

    static bool allOverlaysExposed(const MainWindowController& controller)
    {
        for (OverlayWindow* overlay : controller.overlays())
            if (!overlay->windowHandle() || !overlay->windowHandle()->isExposed())
                return false;
        return true;
    }

    static platform::WaylandDesktop* waylandDesktop()
    {
        return dynamic_cast<platform::WaylandDesktop*>(&platform::desktop());
    }

    // A window of another program's kind: an ordinary toplevel, painted pure red.
    struct RedWindow : QWidget {
        RedWindow()
        {
            setWindowTitle(QStringLiteral("tavimo-test-intruder"));
            setAutoFillBackground(true);
            QPalette red;
            red.setColor(QPalette::Window, Qt::red);
            setPalette(red);
            resize(800, 600);
        }
    };

    static bool isRed(QRgb pixel)
    {
        return qRed(pixel) > 180 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
    }
    static int redPixels(const QImage& image)
    {
        int red = 0;
        for (int y = 0; y < image.height(); y += 16)
            for (int x = 0; x < image.width(); x += 16)
                red += isRed(image.pixel(x, y));
        return red;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        QVERIFY2(waylandDesktop(), "the Wayland desktop layer is chosen on Wayland");
        QVERIFY(waylandDesktop()->compositesWindows());
        QVERIFY(waylandDesktop()->screenSnapshot(*QGuiApplication::primaryScreen(), 8).isNull());
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QVERIFY(screenAt(m_left));
        QVERIFY(screenAt(m_right));
        platform::overrideForTesting(&m_keyboard, nullptr);
        m_unlocked = screenshot(QStringLiteral("wayland-unlocked.png"));
        QCOMPARE(m_unlocked.size(), QSize(3200, 1080));
    }

    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }

    void overlaysCoverEachOutputOnTheOverlayLayerAndKeepTheKeyboard()
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        controller.lockButtonClicked();
        const QList<OverlayWindow*> overlays = controller.overlays();
        QCOMPARE(overlays.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        QSet<QScreen*> coveredScreens;
        for (OverlayWindow* overlay : overlays) {
            QVERIFY(waylandDesktop()->isOnOverlayLayer(*overlay->windowHandle()));
            QVERIFY(overlay->coveredScreen());
            QCOMPARE(overlay->screen(), overlay->coveredScreen());
            QCOMPARE(overlay->size(), overlay->coveredScreen()->size());
            coveredScreens.insert(overlay->coveredScreen());
        }
        QCOMPARE(coveredScreens, QSet<QScreen*>({screenAt(m_left), screenAt(m_right)}));
        OverlayWindow* primary = overlayOf(controller, QGuiApplication::primaryScreen());
        QVERIFY(primary && primary->isPrimaryDisplay());

        const QImage locked = screenshot(QStringLiteral("wayland-locked.png"));
        QCOMPARE(locked.size(), QSize(3200, 1080));
        // Away from the cards each output shows its own wallpaper through the scrim:
        // changed, and still blue on the left and orange on the right.
        for (const QPoint at :
             {QPoint(100, 100), QPoint(1800, 1000), QPoint(2000, 80), QPoint(3100, 1000)}) {
            const QRgb before = m_unlocked.pixel(at);
            const QRgb after = locked.pixel(at);
            QVERIFY2(before != after,
                     qPrintable(QStringLiteral("(%1,%2) not covered").arg(at.x()).arg(at.y())));
            const bool left = at.x() < 1920;
            QVERIFY2(left ? qBlue(after) > qRed(after) : qRed(after) > qBlue(after),
                     "the desktop does not show through the overlay");
        }
        const QPoint offset = unlockOffset(primary);
        QVERIFY(isAccentBlue(locked.pixel(primaryArea().center() + offset)));
        QVERIFY(showsNoButton(locked, secondaryArea().center(), offset));
        QVERIFY(!unlockButtonOf(overlays[overlays[0] == primary ? 1 : 0]));

        // Another program's new window stays beneath the overlays and gets no keys.
        RedWindow intruder;
        intruder.show();
        QTRY_VERIFY_WITH_TIMEOUT(swayShowsWindow(intruder.windowTitle()), 5000);
        QVERIFY(QTest::qWaitForWindowExposed(&intruder));
        const QImage covered = screenshot(QStringLiteral("wayland-locked-intruder.png"));
        QCOMPARE(redPixels(covered), 0);

        controller.unlock();
        // Qt's switch for windows without a shell goes with the last overlay: programs
        // started later must not inherit it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qEnvironmentVariableIsSet("QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT"));
        QTRY_VERIFY_WITH_TIMEOUT(
            redPixels(screenshot(QStringLiteral("wayland-unlocked-intruder.png"))) > 0, 5000);
    }

    void outputsAddedAndRemovedDuringALockGetAndLoseOverlays()
    {
        MainWindowController controller;
        controller.lockButtonClicked();
        QCOMPARE(controller.overlays().size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        const QPoint offset = unlockOffset(overlayOf(controller, QGuiApplication::primaryScreen()));

        // A third output: a plain overlay of its own.
        const QList<QScreen*> before = QGuiApplication::screens();
        QCOMPARE(sway({QStringLiteral("create_output")}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 3, 5000);
        QScreen* third = nullptr;
        for (QScreen* screen : QGuiApplication::screens())
            if (!before.contains(screen))
                third = screen;
        QVERIFY(third);
        QTRY_COMPARE_WITH_TIMEOUT(controller.overlays().size(), 3, 5000);
        OverlayWindow* added = controller.overlays().last();
        QCOMPARE(added->coveredScreen(), third);
        QVERIFY(!added->isPrimaryDisplay());
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        QVERIFY(waylandDesktop()->isOnOverlayLayer(*added->windowHandle()));
        const QImage thirdShot =
            screenshot(QStringLiteral("wayland-added-output.png"), third->name());
        QCOMPARE(thirdShot.size(), third->size());
        const QPoint centre = QRect(QPoint(), thirdShot.size()).center();
        QVERIFY2(thirdShot.pixel(centre) != thirdShot.pixel(10, 10), "no card on the new output");
        QVERIFY(showsNoButton(thirdShot, centre, offset));

        // The primary output goes: its overlay goes, and the button moves to the overlay
        // of the output Qt now calls primary.
        const QString primaryName = QGuiApplication::primaryScreen()->name();
        QCOMPARE(unplug(primaryName), 0);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(controller.overlays().size(), 2, 5000);
        QScreen* heirScreen = QGuiApplication::primaryScreen();
        int primaries = 0;
        for (OverlayWindow* overlay : controller.overlays()) {
            QVERIFY(overlay->coveredScreen() && overlay->coveredScreen()->name() != primaryName);
            primaries += overlay->isPrimaryDisplay();
            QCOMPARE(bool(unlockButtonOf(overlay)), overlay->coveredScreen() == heirScreen);
        }
        QCOMPARE(primaries, 1);
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        const QImage heirShot =
            screenshot(QStringLiteral("wayland-primary-removed.png"), heirScreen->name());
        QVERIFY(isAccentBlue(heirShot.pixel(QRect(QPoint(), heirShot.size()).center() + offset)));

        // Another output comes: a plain overlay, the button stays where it is.
        QCOMPARE(sway({QStringLiteral("create_output")}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(controller.overlays().size(), 3, 5000);
        QVERIFY(!controller.overlays().last()->isPrimaryDisplay());
        int buttons = 0;
        for (OverlayWindow* overlay : controller.overlays())
            buttons += unlockButtonOf(overlay) != nullptr;
        QCOMPARE(buttons, 1);
        controller.unlock();
        QVERIFY(controller.overlays().isEmpty());
    }

    // The service ends the lock: the overlays go as the compositor's rules for surfaces
    // and their roles ask (sway 1.10 and later end the connection otherwise), and the
    // next lock still shows its overlays.
    void aLockEndedByTheServiceLeavesTheApplicationRunning()
    {
        MainWindowController controller;
        controller.lockButtonClicked();
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        m_keyboard.endLiveTapByPlatform();
        QTRY_VERIFY_WITH_TIMEOUT(controller.overlays().isEmpty(), 5000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(300); // for the compositor's answer, if it has an error to send

        controller.lockButtonClicked();
        QCOMPARE(controller.overlays().size(), QGuiApplication::screens().size());
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        for (OverlayWindow* overlay : controller.overlays())
            QVERIFY(waylandDesktop()->isOnOverlayLayer(*overlay->windowHandle()));
        controller.unlock();
        QVERIFY(controller.overlays().isEmpty());
    }

    // Where no layer shell is offered (GNOME), each overlay is a full-screen window on
    // its own output.
    void withoutALayerShellEachOverlayIsFullScreenOnItsOwnOutput()
    {
        platform::WaylandDesktop fullScreenOnly(platform::WaylandDesktop::Layers::Never);
        platform::overrideForTesting(&m_keyboard, &fullScreenOnly);
        MainWindowController controller;
        controller.lockButtonClicked();
        QList<OverlayWindow*> overlays = controller.overlays();
        QVERIFY(overlays.size() >= 2);
        QTRY_VERIFY_WITH_TIMEOUT(allOverlaysExposed(controller), 5000);
        QMap<QString, int> fullScreenPerOutput;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                fullScreenPerOutput.clear();
                QString output;
                for (const QJsonObject& node : swayNodes()) {
                    if (node.value(QLatin1String("type")).toString() == QLatin1String("output"))
                        output = node.value(QLatin1String("name")).toString();
                    if (node.value(QLatin1String("type")).toString() == QLatin1String("con") &&
                        node.value(QLatin1String("fullscreen_mode")).toInt() == 1 &&
                        node.value(QLatin1String("visible")).toBool())
                        ++fullScreenPerOutput[output];
                }
                return fullScreenPerOutput.size() == overlays.size();
            }(),
            5000);
        for (int count : fullScreenPerOutput)
            QCOMPARE(count, 1);
        // Idling held off on the overlay with the button.
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                for (const QJsonObject& node : swayNodes())
                    if (node.value(QLatin1String("inhibit_idle")).toBool())
                        return true;
                return false;
            }(),
            3000);
        for (OverlayWindow* overlay : overlays)
            QVERIFY(!fullScreenOnly.isOnOverlayLayer(*overlay->windowHandle()));
        screenshot(QStringLiteral("wayland-full-screen.png"));
        controller.unlock();
        platform::overrideForTesting(&m_keyboard, nullptr);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    WaylandPresentationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WaylandPresentationTest.moc"
