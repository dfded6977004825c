// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11TestSupport.h"

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/linux/LinuxDesktop.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QtTest>

#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

// The shown top-level windows of the X server, bottom to top, seen from a connection of
// the test's own (xcb: a window gone meanwhile is an empty reply, not a fatal error).
struct TopWindow {
    xcb_window_t id = 0;
    QRect geometry;
    bool overrideRedirect = false;
};

class X11View {
public:
    ~X11View() { xcb_disconnect(m_c); }
    bool isConnected() const { return m_root != 0; }

    QList<TopWindow> shown() const
    {
        QList<TopWindow> windows;
        auto* tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, m_root), nullptr);
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            const xcb_window_t id = xcb_query_tree_children(tree)[i];
            auto* attributes =
                xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, id), nullptr);
            auto* geometry = xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, id), nullptr);
            if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                windows.append({id,
                                {geometry->x, geometry->y, geometry->width, geometry->height},
                                bool(attributes->override_redirect)});
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return windows;
    }

    xcb_window_t focus() const
    {
        auto* reply = xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr);
        const xcb_window_t focus = reply ? reply->focus : 0;
        std::free(reply);
        return focus;
    }

    // Asks a window to close, as a window manager's close button does.
    void requestClose(xcb_window_t window) const
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(m_c, false, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

private:
    xcb_atom_t atom(const char* name) const
    {
        auto* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, false, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : 0;
        std::free(reply);
        return atom;
    }

    xcb_connection_t* m_c = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root =
        xcb_connection_has_error(m_c) ? 0 : xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
};

// On a two-monitor X server: first screenshots of the main window and both overlays in
// this process, in the light and the dark appearance; then the real program, whose main
// window comes up active, where a double-click on "Lock keyboard" keeps every key from a
// focused client and covers both monitors (its second click, on "Unlock keyboard", does
// not unlock), a click on "Unlock keyboard" gives the keys back and
// leaves the main window where it was, and closing the main window ends it with status 0.
class EndToEndTest : public QObject {
    Q_OBJECT

private:
    X11View m_x;
    platform::FakeKeyboardAccess m_keyboard;
    platform::LinuxDesktop m_desktop;
    QProcess m_tavimo;
    KeyWatch m_watch;
    xcb_window_t m_clientWindow = 0;
    TopWindow m_mainWindow;
    QPoint m_lockButton;   // centre of "Lock keyboard" in the main window
    QPoint m_unlockOffset; // centre of "Unlock keyboard" from the screen's centre
    const QRect m_left{0, 0, 1920, 1080};
    const QRect m_right{1920, 0, 1280, 1024};

    static void save(const QImage& image, const QString& name)
    {
        const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            QVERIFY(image.save(QDir(dir).filePath(name)));
    }

    // Both monitors side by side, as the server shows them; saved for a look.
    static QImage screenshot(const QString& name)
    {
        const QImage image =
            QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 3200, 1080).toImage();
        save(image, name);
        return image;
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
        QCOMPARE(
            xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}),
            0);
    }

    static int xdotool(const QStringList& arguments)
    {
        return QProcess::execute(QStringLiteral("xdotool"), arguments);
    }

    int overlaysShown() const
    {
        int overlays = 0;
        for (const TopWindow& window : m_x.shown())
            overlays += window.overrideRedirect &&
                        (window.geometry == m_left || window.geometry == m_right);
        return overlays;
    }

    bool overlaysOnTop() const
    {
        const QList<TopWindow> windows = m_x.shown();
        const auto isOverlay = [this](const TopWindow& window) {
            return window.overrideRedirect &&
                   (window.geometry == m_left || window.geometry == m_right);
        };
        return windows.size() >= 2 && isOverlay(windows.last()) &&
               isOverlay(windows[windows.size() - 2]);
    }

    bool findMainWindow()
    {
        for (const TopWindow& window : m_x.shown())
            if (!window.overrideRedirect && window.geometry.size() == QSize(392, 456)) {
                m_mainWindow = window;
                return true;
            }
        return false;
    }

    static bool isAccentBlue(QRgb pixel) { return qBlue(pixel) > qRed(pixel) + 60; }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(m_x.isConnected(), "no X server");
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(QGuiApplication::screens()[0]->geometry(), m_left);
        QCOMPARE(QGuiApplication::screens()[1]->geometry(), m_right);
        platform::overrideForTesting(&m_keyboard, &m_desktop);
    }

    void cleanupTestCase()
    {
        m_tavimo.kill();
        m_tavimo.waitForFinished(3000);
        platform::overrideForTesting(nullptr, nullptr);
    }

    void screenshotsInTheLightAndTheDarkAppearance()
    {
        // Something to blur behind the overlays: a wallpaper over both monitors.
        QWidget wallpaper(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        wallpaper.setGeometry(0, 0, 3200, 1080);
        QLinearGradient gradient(0, 0, 3200, 1080);
        gradient.setStops(
            {{0, QColor(40, 120, 200)}, {0.5, QColor(240, 170, 60)}, {1, QColor(60, 170, 90)}});
        QPalette palette;
        palette.setBrush(QPalette::Window, gradient);
        wallpaper.setPalette(palette);
        wallpaper.setAutoFillBackground(true);
        wallpaper.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wallpaper));

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

    void theProgramShowsItsMainWindowActive()
    {
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
        // With no window manager, holding the input focus is what being active means.
        QTRY_COMPARE_WITH_TIMEOUT(m_x.focus(), m_mainWindow.id, 5000);

        const QString watchError = m_watch.setUp(); // the client hears keys while unlocked
        QVERIFY2(watchError.isEmpty(), qPrintable(watchError));
        m_clientWindow = m_x.focus();
        QVERIFY(m_clientWindow != m_mainWindow.id);
    }

    void lockingByADoubleClickSwallowsEveryKeyAndCoversBothMonitors()
    {
        // The main window moved so that "Unlock keyboard" will appear right under the
        // pointer: the second click of a double-click on "Lock keyboard" lands on it.
        const QPoint unlockAt = m_left.center() + m_unlockOffset;
        const QPoint topLeft = unlockAt - m_lockButton;
        QCOMPARE(xdotool({"windowmove", QString::number(m_mainWindow.id),
                          QString::number(topLeft.x()), QString::number(topLeft.y())}),
                 0);
        QTRY_VERIFY(findMainWindow() && m_mainWindow.geometry.topLeft() == topLeft);
        const QImage unlocked = screenshot(QStringLiteral("e2e-unlocked.png"));
        QCOMPARE(xdotool({"mousemove", QString::number(unlockAt.x()), QString::number(unlockAt.y()),
                          "click", "--repeat", "2", "--delay", "120", "1"}),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown(), 2, 5000);
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        QCOMPARE(overlaysShown(), 2);

        // The client takes the focus back, as a program being typed into would.
        QCOMPARE(xdotool({"windowfocus", QString::number(m_clientWindow)}), 0);
        QCOMPARE(m_x.focus(), m_clientWindow);
        QVERIFY(m_watch.keysBlocked());

        QTest::qWait(300); // let both overlays paint
        const QImage locked = screenshot(QStringLiteral("e2e-locked.png"));
        // The client's window on the left and the bare root on the right are glass now.
        for (const QPoint at : {QPoint(100, 100), QPoint(2500, 900)})
            QVERIFY(locked.pixel(at) != unlocked.pixel(at));
        // Only the primary overlay carries the unlock button.
        QVERIFY(isAccentBlue(locked.pixel(m_left.center() + m_unlockOffset)));
        for (int dx = -60; dx <= 60; dx += 4)
            QVERIFY2(!isAccentBlue(locked.pixel(m_right.center() + m_unlockOffset + QPoint(dx, 0))),
                     "a button on the secondary overlay");

        // A window raised over the lock is put back beneath the overlays.
        QCOMPARE(xdotool({"windowraise", QString::number(m_clientWindow)}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(overlaysOnTop(), 2000);
    }

    void unlockingBringsTheKeysBackAndClosingTheMainWindowQuits()
    {
        click(m_left.center() + m_unlockOffset);
        QTRY_COMPARE_WITH_TIMEOUT(overlaysShown(), 0, 5000);
        QVERIFY(m_watch.keysReach());
        const TopWindow before = m_mainWindow;
        QVERIFY(findMainWindow());
        QCOMPARE(m_mainWindow.id, before.id);
        QCOMPARE(m_mainWindow.geometry, before.geometry);

        QCOMPARE(m_tavimo.state(), QProcess::Running); // unlocking never quits
        m_x.requestClose(m_mainWindow.id);
        QVERIFY2(m_tavimo.waitForFinished(10000), "closing the main window ends Tavimo");
        QCOMPARE(m_tavimo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_tavimo.exitCode(), 0);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EndToEndTest.moc"
