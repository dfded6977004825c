// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Platform.h"
#include "platform/lockd/LockServiceKeyboardAccess.h"
#include "platform/wayland/WaylandDesktop.h"
#include "support/FakeLockServiceProcess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>
#include <QtTest>

#include <optional>

#include <sys/types.h>
#include <time.h>
#include <unistd.h>

// Under a headless GNOME Shell with two monitors (tests/support/with-gnome-shell.sh),
// where no overlay layer exists and the overlays are ordinary full-screen windows: a lock
// taken by a click through a virtual pointer, other programs' windows coming in front
// during it, and the Unlock card on the main window's monitor. The lock is a stand-in
// service's.
class GnomeShellTest : public QObject {
    Q_OBJECT

private:
    FakeLockServiceProcess m_service;
    std::unique_ptr<platform::LockServiceKeyboardAccess> m_access;
    platform::WaylandDesktop m_desktop;
    std::unique_ptr<MainWindowController> m_controller;

    static QString artifact(const QString& name)
    {
        return QDir(qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR", QDir::tempPath())).filePath(name);
    }

    // Calls a method of the shell on the session bus; its reply as gdbus prints it, or
    // nothing when the call failed.
    static std::optional<QString> callShell(const QString& service, const QString& method,
                                            const QStringList& arguments)
    {
        QString path = QLatin1Char('/') + service;
        path.replace(QLatin1Char('.'), QLatin1Char('/'));
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"),
                    QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                                QStringLiteral("-d"), service, QStringLiteral("-o"), path,
                                QStringLiteral("-m"), service + QLatin1Char('.') + method} +
                        arguments);
        if (!gdbus.waitForFinished(10000) || gdbus.exitCode() != 0) {
            qWarning("%s failed: %s", qPrintable(method), gdbus.readAllStandardError().constData());
            return std::nullopt;
        }
        return QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed();
    }

    // Runs JavaScript in the shell; its result as a string, or a null string on failure.
    static QString eval(const QString& script)
    {
        const std::optional<QString> reply =
            callShell(QStringLiteral("org.gnome.Shell"), QStringLiteral("Eval"), {script});
        if (!reply)
            return {};
        // (true, 'result as JSON'), the JSON escaped as a GVariant string
        const QString& out = *reply;
        if (!out.startsWith(QLatin1String("(true, '")) || !out.endsWith(QLatin1String("')")))
            return {};
        QString json = out.mid(8, out.size() - 10);
        json.replace(QLatin1String("\\\\"), QLatin1String("\\"))
            .replace(QLatin1String("\\'"), QLatin1String("'"));
        const QJsonValue value =
            QJsonDocument::fromJson(QStringLiteral("[%1]").arg(json).toUtf8()).array().at(0);
        return value.isString()   ? value.toString()
               : value.isDouble() ? QString::number(value.toDouble())
                                  : QString();
    }

    // The shell's virtual pointer as `p`, made on first use.
    static QString pointerScript()
    {
        return QStringLiteral(
            "const C = imports.gi.Clutter; const G = imports.gi.GLib;"
            "const backend = global.stage.context ? global.stage.context.get_backend() : "
            "C.get_default_backend();"
            "if (!global.tavimoPointer) global.tavimoPointer = backend.get_default_seat()"
            "  .create_virtual_device(C.InputDeviceType.POINTER_DEVICE);"
            "const p = global.tavimoPointer;");
    }

    // One event of the shell's virtual pointer, given as a call on `p` at time `t`.
    static bool pointer(const QString& call)
    {
        return eval(pointerScript() +
                    QStringLiteral("const t = G.get_monotonic_time(); %1; 1").arg(call)) ==
               QLatin1String("1");
    }
    static bool moveTo(QPoint at)
    {
        return pointer(
            QStringLiteral("p.notify_absolute_motion(t, %1, %2)").arg(at.x()).arg(at.y()));
    }
    static bool button(bool pressed)
    {
        return pointer(QStringLiteral("p.notify_button(t, C.BUTTON_PRIMARY, C.ButtonState.%1)")
                           .arg(pressed ? QStringLiteral("PRESSED") : QStringLiteral("RELEASED")));
    }

    // Moves the shell's virtual pointer there and clicks the primary button, each event on
    // its own as a hand sends them.
    static bool click(QPoint at)
    {
        if (!moveTo(at))
            return false;
        QTest::qWait(100);
        return button(true) && button(false);
    }

    // Presses, moves and releases the shell's pointer in steps, as a hand drags: the window
    // manager starts a move only once the client has asked for it after the press.
    static bool drag(QPoint from, QPoint to)
    {
        if (!moveTo(from) || !button(true))
            return false;
        QTest::qWait(300);
        for (int step = 1; step <= 10; ++step) {
            if (!moveTo(from + (to - from) * step / 10))
                return false;
            QTest::qWait(50);
        }
        QTest::qWait(200);
        return button(false);
    }

    // The topmost window drawn on the monitor of that screen: "ours" (an overlay of this
    // process), "foreign" or "none". A window the shell has not mapped yet is left out:
    // it is listed before it is stacked or drawn.
    static QString topScript(const QScreen* screen)
    {
        const QPoint at = screen->geometry().topLeft();
        return QStringLiteral(
                   "(() => { const d = global.display;"
                   "const m = [...Array(d.get_n_monitors()).keys()].find(i => {"
                   "  const g = d.get_monitor_geometry(i); return g.x === %1 && g.y === %2; });"
                   "const drawn = global.get_window_actors().filter(a => { const w = a.meta_window;"
                   "  return a.visible && w && w.get_monitor() === m && w.get_layer() < 8"
                   "    && w.showing_on_its_workspace() && !w.minimized; });"
                   "const top = drawn.length ? drawn[drawn.length - 1].meta_window : null;"
                   "return !top ? 'none' : (top.get_pid() === %3 && top.is_fullscreen()) ? 'ours'"
                   "  : 'foreign'; })()")
            .arg(at.x())
            .arg(at.y())
            .arg(::getpid());
    }

    static QString topOn(const QScreen* screen) { return eval(topScript(screen)); }

    // Records inside the shell, on every restacking, focus change and drawn frame, when
    // the topmost window on that screen's monitor changes, so that times are the shell's
    // own and not those of the (slow) calls that would poll it.
    static bool watchTop(const QScreen* screen)
    {
        const QString script = QStringLiteral(
            "const GLib = imports.gi.GLib;"
            "if (global.tavimoWatch) global.tavimoWatch.ids.forEach(([o, id]) => o.disconnect(id));"
            "const watch = {log: [], ids: []}; global.tavimoWatch = watch;"
            "const note = () => { const top = %1; const f = global.display.focus_window;"
            "  const entry = [GLib.get_monotonic_time() / 1000, top,"
            "    f && f.get_pid() === %2 ? 'ours' : 'other'];"
            "  const last = watch.log[watch.log.length - 1];"
            "  if (!last || last[1] !== entry[1] || last[2] !== entry[2]) watch.log.push(entry); };"
            "watch.ids.push([global.display, global.display.connect('restacked', note)]);"
            "watch.ids.push([global.display, global.display.connect('notify::focus-window', "
            "note)]);"
            "watch.ids.push([global.stage, global.stage.connect('after-paint', note)]);"
            "note(); 1");
        return eval(script.arg(topScript(screen)).arg(::getpid())) == QLatin1String("1");
    }

    static qint64 monotonicMs()
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

    struct TopChange {
        qint64 atMs; // on the monotonic clock, as QElapsedTimer's
        QString top;
        bool focusOurs;
    };
    static QList<TopChange> watchedTop()
    {
        QList<TopChange> changes;
        const QJsonArray log =
            QJsonDocument::fromJson(
                eval(QStringLiteral("JSON.stringify(global.tavimoWatch.log)")).toUtf8())
                .array();
        for (const QJsonValue& entry : log)
            changes.append({qint64(entry[0].toDouble()), entry[1].toString(),
                            entry[2].toString() == QLatin1String("ours")});
        return changes;
    }

    // The frame of the first window the JavaScript predicate on `w` picks, in global pixels.
    static QRect frameOf(const QString& predicate)
    {
        const QString script = QStringLiteral(
            "const w = global.display.list_all_windows().find(w => %1);"
            "const r = w ? w.get_frame_rect() : null;"
            "r ? JSON.stringify({x: r.x, y: r.y, width: r.width, height: r.height}) : ''");
        const QJsonObject r =
            QJsonDocument::fromJson(eval(script.arg(predicate)).toUtf8()).object();
        if (r.isEmpty())
            return {};
        return {r[QStringLiteral("x")].toInt(), r[QStringLiteral("y")].toInt(),
                r[QStringLiteral("width")].toInt(), r[QStringLiteral("height")].toInt()};
    }

    // The frame of this process's one window that is not full screen.
    static QRect mainFrame()
    {
        return frameOf(QStringLiteral("w.get_pid() === %1 && !w.is_fullscreen()").arg(::getpid()));
    }

    static bool screenshot(const QString& name)
    {
        return callShell(QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("Screenshot"),
                         {QStringLiteral("false"), QStringLiteral("false"), artifact(name)})
            .has_value();
    }

    // Another program's window, full screen or just large, on the primary monitor; pure
    // magenta, so that a screenshot tells where it shows.
    static std::unique_ptr<QProcess> foreignWindow(bool fullScreen)
    {
        const QString script = QStringLiteral(
            "imports.gi.versions.Gtk = '3.0'; const Gtk = imports.gi.Gtk; Gtk.init(null);"
            "const css = new Gtk.CssProvider(); css.load_from_data('* { background: #ff00ff; }');"
            "Gtk.StyleContext.add_provider_for_screen(imports.gi.Gdk.Screen.get_default(), css,"
            "  Gtk.STYLE_PROVIDER_PRIORITY_USER);"
            "const w = new Gtk.Window({title: 'Foreign'}); w.set_default_size(1800, 1000);"
            "w.connect('destroy', () => Gtk.main_quit()); w.show_all(); %1 Gtk.main();");
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral("gjs"),
                       {QStringLiteral("-c"),
                        script.arg(fullScreen ? QStringLiteral("w.fullscreen();") : QString())});
        return process;
    }

    static bool foreignShown()
    {
        return eval(QStringLiteral("global.display.list_all_windows().some(w => "
                                   "w.get_title() === 'Foreign' && w.showing_on_its_workspace())"
                                   " ? 'yes' : 'no'")) == QLatin1String("yes");
    }

    // Where a widget's centre is on the desktop, given where its window is.
    static QPoint centreOf(QWidget* widget, QPoint windowOrigin)
    {
        return windowOrigin + widget->mapTo(widget->window(), widget->rect().center());
    }

    OverlayWindow* primaryOverlay() const
    {
        for (OverlayWindow* overlay : m_controller->overlays())
            if (overlay->isPrimaryDisplay())
                return overlay;
        return nullptr;
    }

    QPoint unlockButtonCentre() const
    {
        OverlayWindow* overlay = primaryOverlay();
        if (!overlay)
            return {-1, -1};
        auto* button = overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
        return centreOf(button, overlay->screen()->geometry().topLeft());
    }

    void lockByClick()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!mainFrame().isNull(), 5000);
        QTest::qWait(1000); // the shell's animation of a new window ends
        QWindow* window = m_controller->window()->windowHandle();
        const QPoint content = mainFrame().topLeft() +
                               QPoint(window->frameMargins().left(), window->frameMargins().top());
        QVERIFY(click(centreOf(m_controller->lockButton(), content)));
        QTRY_VERIFY_WITH_TIMEOUT(m_controller->blocker().isActive(), 5000);
        QCOMPARE(m_service.lockState(), QStringLiteral("held"));
        QVERIFY(primaryOverlay());
        QTRY_COMPARE_WITH_TIMEOUT(topOn(primaryOverlay()->screen()), QStringLiteral("ours"), 5000);
        // Past the double-click interval, so that a click on Unlock counts.
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    }

    void unlockByClick()
    {
        QVERIFY(click(unlockButtonCentre()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_controller->blocker().isActive(), 3000);
        QTRY_COMPARE(m_service.lockState(), QStringLiteral("released"));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        QCOMPARE(QGuiApplication::screens().size(), 2);
        const QString problem = m_service.start(QStringLiteral("yes"));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        m_access = std::make_unique<platform::LockServiceKeyboardAccess>();
        platform::overrideForTesting(m_access.get(), &m_desktop);
        QTRY_VERIFY(m_access->isProcessTrusted());
        // The shell's virtual pointer, made and moved once: its first event can get lost.
        QVERIFY(click(QPoint(1000, 1000)));
        QTest::qWait(500);
    }

    void init()
    {
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void cleanupTestCase()
    {
        platform::overrideForTesting(nullptr, nullptr);
        m_access.reset();
    }

    // A window of another program that comes in front of the overlay with the Unlock
    // button, full screen or not, is back behind it within a second.
    void theUnlockButtonComesBackInFrontOfOtherWindows_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::newRow("a full-screen window") << true;
        QTest::newRow("a large window") << false;
    }
    void theUnlockButtonComesBackInFrontOfOtherWindows()
    {
        QFETCH(bool, fullScreen);
        const QString name = fullScreen ? QStringLiteral("full-screen") : QStringLiteral("large");
        lockByClick();
        if (QTest::currentTestFailed())
            return;
        QScreen* const screen = primaryOverlay()->screen();
        QVERIFY(watchTop(screen));
        const qint64 started = monotonicMs();

        std::unique_ptr<QProcess> other = foreignWindow(fullScreen);
        QTRY_VERIFY_WITH_TIMEOUT(foreignShown(), 10000);
        // When the other window was first drawn on top, and when ours was again after it.
        qint64 coveredAt = -1;
        qint64 backAt = -1;
        QList<TopChange> log;
        QElapsedTimer waited;
        waited.start();
        do {
            QTest::qWait(200);
            log = watchedTop();
            coveredAt = backAt = -1;
            for (const TopChange& change : log) {
                if (coveredAt < 0 && change.top != QLatin1String("ours"))
                    coveredAt = change.atMs;
                else if (coveredAt >= 0 && backAt < 0 && change.top == QLatin1String("ours"))
                    backAt = change.atMs;
            }
        } while ((coveredAt < 0 || backAt < 0) && waited.elapsed() < 3000);
        QString trace;
        for (const TopChange& change : log)
            trace += QStringLiteral(" %1:%2/%3")
                         .arg(change.atMs - started)
                         .arg(change.top, change.focusOurs ? QStringLiteral("focus ours")
                                                           : QStringLiteral("focus other"));
        // Never drawn on top at all is the best outcome there is.
        const qint64 backAfter = coveredAt < 0 ? 0 : backAt < 0 ? -1 : backAt - coveredAt;
        qInfo("%s: in front again %lld ms after it was covered; changes (ms from the start):%s",
              qPrintable(name), backAfter, qPrintable(trace));
        QVERIFY2(backAfter >= 0, "the overlay with the Unlock button stayed covered");
        QCOMPARE_LE(backAfter, 1000);
        QVERIFY(m_controller->blocker().isActive());

        // It stays in front, and the picture shows it: no pixel of the other window
        // (pure magenta) on that monitor. Ours is translucent: what shows through is mixed.
        QTest::qWait(300);
        QCOMPARE(topOn(screen), QStringLiteral("ours"));
        const QString shot = QStringLiteral("gnome-%1-window-during-lock.png").arg(name);
        QVERIFY(screenshot(shot));
        const QImage picture(artifact(shot));
        QVERIFY(!picture.isNull());
        int magenta = 0;
        const QRect monitor = screen->geometry().intersected(picture.rect());
        for (int y = monitor.top(); y <= monitor.bottom(); y += 4)
            for (int x = monitor.left(); x <= monitor.right(); x += 4) {
                const QColor c = picture.pixelColor(x, y);
                magenta += c.red() > 240 && c.green() < 16 && c.blue() > 240;
            }
        QCOMPARE(magenta, 0);

        unlockByClick();
        QCOMPARE(m_controller->permissionStatus()->title(),
                 QStringLiteral("Accessibility access is ready"));
        other->kill();
        other->waitForFinished();
    }

    // A click on the other monitor's overlay takes the focus there; the one with the
    // button gets it back (and with it its place in front) within a second.
    void aClickOnTheOtherScreenGivesTheFocusBack()
    {
        lockByClick();
        if (QTest::currentTestFailed())
            return;
        OverlayWindow* other = nullptr;
        for (OverlayWindow* overlay : m_controller->overlays())
            if (!overlay->isPrimaryDisplay())
                other = overlay;
        QVERIFY(other);
        const OverlayWindow* before = primaryOverlay();
        QVERIFY(click(other->screen()->geometry().center() + QPoint(0, 300)));
        QElapsedTimer clicked;
        clicked.start();
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::focusWindow() != primaryOverlay()->windowHandle(),
                                 2000);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), primaryOverlay()->windowHandle(),
                                  1000);
        qInfo("the focus came back %lld ms after the click, %s", clicked.elapsed(),
              primaryOverlay() == before ? "asked for" : "on a fresh overlay");
        QCOMPARE(topOn(primaryOverlay()->screen()), QStringLiteral("ours"));
        unlockByClick();
    }

    // GNOME's launcher passes a startup-notification id, not an activation token: a second
    // launch with one brings the first one's window in front of the window that has the
    // focus, also when that window was minimised.
    void aSecondLaunchBringsTheWindowToTheFront()
    {
        const auto focusPid = [] {
            return eval(QStringLiteral("const f = global.display.focus_window;"
                                       "f ? '' + f.get_pid() : 'none'"));
        };
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QStringLiteral(TAVIMO_APP_PATH), {});
        QVERIFY(first.waitForStarted());
        const QString pid = QString::number(first.processId());
        QTRY_COMPARE_WITH_TIMEOUT(focusPid(), pid, 10000);
        QVERIFY(!eval(QStringLiteral("global.display.focus_window.minimize(); 1")).isNull());
        std::unique_ptr<QProcess> other = foreignWindow(false);
        QTRY_VERIFY_WITH_TIMEOUT(foreignShown(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(focusPid() != pid && focusPid() != QLatin1String("none"), 5000);

        const QString token = eval(QStringLiteral(
            "const Gio = imports.gi.Gio; global.create_app_launch_context("
            "global.display.get_current_time_roundtrip(), -1)"
            ".get_startup_notify_id(Gio.AppInfo.create_from_commandline('tavimo', 'Tavimo',"
            " Gio.AppInfoCreateFlags.NONE), [])"));
        QVERIFY(!token.isEmpty());
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), token);
        environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(QStringLiteral(TAVIMO_APP_PATH), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0); // handed over to the first
        QTRY_COMPARE_WITH_TIMEOUT(focusPid(), pid, 3000);
        QTest::qWait(300); // drawn
        QVERIFY(screenshot(QStringLiteral("gnome-second-launch.png")));
        first.terminate();
        QVERIFY(first.waitForFinished(5000));
        other->kill();
        other->waitForFinished();
    }

    // Qt's own title bar on GNOME draws a maximise button whatever the window's flags: a
    // click on it leaves the fixed-size window as and where it was.
    void theMaximiseButtonLeavesTheWindowAsItIs()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!mainFrame().isNull(), 5000);
        QTest::qWait(1000); // the shell's animation of a new window ends
        const QRect before = mainFrame();
        QWindow* window = m_controller->window()->windowHandle();
        QVERIFY(click(before.topLeft() +
                      QPoint(before.width() - 40, window->frameMargins().top() / 2)));
        QTest::qWait(1000);
        QVERIFY(screenshot(QStringLiteral("gnome-maximise-clicked.png")));
        QCOMPARE(mainFrame(), before);
        QVERIFY(!(window->windowStates() & Qt::WindowMaximized));
        QCOMPARE(m_controller->window()->size(), m_controller->window()->minimumSize());
    }

    // The Unlock card goes where the main window is: dragged by its title bar to the other
    // monitor here. Qt need not list the screens in the shell's order (newer Qt does not), so
    // the target is whichever screen the window is not on yet.
    void theUnlockCardFollowsTheMainWindow()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!mainFrame().isNull(), 5000);
        QTest::qWait(1000); // the shell's animation of a new window ends
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QScreen* other = screens.at(screens.at(0) == m_controller->window()->screen() ? 1 : 0);
        const QRect frame = mainFrame();
        const QPoint titleBar(frame.center().x(),
                              frame.top() +
                                  m_controller->window()->windowHandle()->frameMargins().top() / 2);
        QVERIFY(drag(titleBar, titleBar + other->geometry().center() - frame.center()));
        QTRY_COMPARE_WITH_TIMEOUT(m_controller->window()->screen(), other, 5000);
        lockByClick();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(primaryOverlay()->screen(), other);
        QTRY_COMPARE_WITH_TIMEOUT(topOn(other), QStringLiteral("ours"), 3000);
        QVERIFY(screenshot(QStringLiteral("gnome-card-on-second-monitor.png")));
        unlockByClick();
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    GnomeShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GnomeShellTest.moc"
