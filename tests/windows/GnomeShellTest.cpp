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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>
#include <QtTest>

#include <sys/types.h>
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

    // Runs JavaScript in the shell; its result as a string, or a null string on failure.
    static QString eval(const QString& script)
    {
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"),
                    {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                     QStringLiteral("org.gnome.Shell"), QStringLiteral("-o"),
                     QStringLiteral("/org/gnome/Shell"), QStringLiteral("-m"),
                     QStringLiteral("org.gnome.Shell.Eval"), script});
        if (!gdbus.waitForFinished(10000) || gdbus.exitCode() != 0) {
            qWarning("Eval failed: %s", gdbus.readAllStandardError().constData());
            return {};
        }
        // (true, 'result as JSON'), the JSON escaped as a GVariant string
        const QString out = QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed();
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

    // Moves the shell's virtual pointer there and clicks the primary button.
    static bool click(QPoint at)
    {
        const QString script = QStringLiteral(
            "const C = imports.gi.Clutter; const G = imports.gi.GLib;"
            "const backend = global.stage.context ? global.stage.context.get_backend() : "
            "C.get_default_backend();"
            "if (!global.tavimoPointer) global.tavimoPointer = backend.get_default_seat()"
            "  .create_virtual_device(C.InputDeviceType.POINTER_DEVICE);"
            "const p = global.tavimoPointer;"
            "p.notify_absolute_motion(G.get_monotonic_time(), %1, %2);"
            "p.notify_button(G.get_monotonic_time(), C.BUTTON_PRIMARY, C.ButtonState.PRESSED);"
            "p.notify_button(G.get_monotonic_time(), C.BUTTON_PRIMARY, C.ButtonState.RELEASED);"
            "1");
        return eval(script.arg(at.x()).arg(at.y())) == QLatin1String("1");
    }

    // The topmost shown window on the monitor of that screen: "ours" (an overlay of this
    // process), "foreign" or "none".
    static QString topOn(const QScreen* screen)
    {
        const QString script = QStringLiteral(
            "const d = global.display;"
            "const m = [...Array(d.get_n_monitors()).keys()].find(i => {"
            "  const g = d.get_monitor_geometry(i); return g.x === %1 && g.y === %2; });"
            "const ws = d.sort_windows_by_stacking(d.list_all_windows())"
            "  .filter(w => w.get_monitor() === m && w.showing_on_its_workspace()"
            "    && !w.minimized);"
            "const top = ws[ws.length - 1];"
            "!top ? 'none' : (top.get_pid() === %3 && top.is_fullscreen()) ? 'ours' : 'foreign'");
        const QPoint at = screen->geometry().topLeft();
        return eval(script.arg(at.x()).arg(at.y()).arg(::getpid()));
    }

    // The frame of this process's one window that is not full screen, in global pixels.
    static QRect mainFrame()
    {
        const QString script = QStringLiteral(
            "const w = global.display.list_all_windows().find(w => w.get_pid() === %1"
            "  && !w.is_fullscreen());"
            "const r = w ? w.get_frame_rect() : null;"
            "r ? JSON.stringify({x: r.x, y: r.y, width: r.width, height: r.height}) : ''");
        const QJsonObject r =
            QJsonDocument::fromJson(eval(script.arg(::getpid())).toUtf8()).object();
        if (r.isEmpty())
            return {};
        return {r[QStringLiteral("x")].toInt(), r[QStringLiteral("y")].toInt(),
                r[QStringLiteral("width")].toInt(), r[QStringLiteral("height")].toInt()};
    }

    static bool screenshot(const QString& name)
    {
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"),
                    {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                     QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("-o"),
                     QStringLiteral("/org/gnome/Shell/Screenshot"), QStringLiteral("-m"),
                     QStringLiteral("org.gnome.Shell.Screenshot.Screenshot"),
                     QStringLiteral("false"), QStringLiteral("false"), artifact(name)});
        return gdbus.waitForFinished(10000) && gdbus.exitCode() == 0;
    }

    // Another program's window, full screen or just large, on the primary monitor.
    static std::unique_ptr<QProcess> foreignWindow(bool fullScreen)
    {
        const QString script = QStringLiteral(
            "imports.gi.versions.Gtk = '3.0'; const Gtk = imports.gi.Gtk; Gtk.init(null);"
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
        QVERIFY(screenshot(QStringLiteral("gnome-locked.png")));

        std::unique_ptr<QProcess> other = foreignWindow(fullScreen);
        QElapsedTimer shown;
        QTRY_VERIFY_WITH_TIMEOUT(foreignShown(), 10000);
        shown.start();
        // Each look at the stacking order takes the shell a moment: polled, not waited on.
        QString top;
        // The lock may end meanwhile (the guard giving up), taking the overlays with it.
        while (primaryOverlay() &&
               (top = topOn(primaryOverlay()->screen())) != QLatin1String("ours") &&
               shown.elapsed() < 3000)
            QTest::qWait(20);
        const qint64 backAfter = shown.elapsed();
        qInfo("%s: the overlay was in front again %lld ms after the window showed; locked %d, "
              "focus %s, capsule %s, stack %s",
              qPrintable(name), backAfter, m_controller->blocker().isActive(),
              QGuiApplication::focusWindow() ? "ours" : "elsewhere",
              qPrintable(m_controller->permissionStatus()->title()),
              qPrintable(eval(QStringLiteral(
                  "JSON.stringify(global.display.sort_windows_by_stacking(global.display.list_all_"
                  "windows()).map(w => [w.get_title(), w.get_pid(), w.get_monitor(), "
                  "w.is_fullscreen(), w.has_focus(), w.get_layer ? w.get_layer() : -1]))"))));
        QCOMPARE(top, QStringLiteral("ours"));
        QCOMPARE_LE(backAfter, 1000);
        QVERIFY(m_controller->blocker().isActive());
        QTest::qWait(300); // drawn
        QVERIFY(screenshot(QStringLiteral("gnome-%1-window-during-lock.png").arg(name)));
        // Where the shell leaves the focus with the other window, the overlay is shown
        // afresh a few times and then the lock ends, saying why: either way is a way out.
        if (m_controller->blocker().isActive())
            QVERIFY(click(unlockButtonCentre()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_controller->blocker().isActive(), 5000);
        QTRY_COMPARE(m_service.lockState(), QStringLiteral("released"));
        const QString capsule = m_controller->permissionStatus()->title();
        qInfo("%s: unlocked; the capsule says \"%s\"", qPrintable(name), qPrintable(capsule));
        QVERIFY(capsule == QLatin1String("Accessibility access is ready") ||
                capsule == QLatin1String("Unlocked: a window came in front"));
        other->kill();
        other->waitForFinished();
    }

    // The Unlock card goes where the main window is, the second monitor here.
    void theUnlockCardFollowsTheMainWindow()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!mainFrame().isNull(), 5000);
        QVERIFY(!eval(QStringLiteral("const w = global.display.list_all_windows().find(w => "
                                     "w.get_pid() === %1 && !w.is_fullscreen());"
                                     "w.move_to_monitor(1); 1")
                          .arg(::getpid()))
                     .isNull());
        QScreen* right = QGuiApplication::screens().at(1);
        QTRY_COMPARE_WITH_TIMEOUT(m_controller->window()->screen(), right, 5000);
        lockByClick();
        QCOMPARE(primaryOverlay()->screen(), right);
        QTRY_COMPARE_WITH_TIMEOUT(topOn(right), QStringLiteral("ours"), 3000);
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
