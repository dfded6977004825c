#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// Brings in Xlib: after every Qt header.
#include "XWindows.h"

// Launches the real program on the test's own X server and watches it from outside.
class LaunchTest : public QObject {
    Q_OBJECT

private:
    struct Launched {
        QProcess process;
        Window window = 0;
    };

    XWindows x;

    // Starts Tavimo and waits for its one main window to be on screen.
    bool launch(Launched& launched, const QProcessEnvironment& environment)
    {
        launched.process.setProcessEnvironment(environment);
        launched.process.setProgram(QStringLiteral(TAVIMO_EXECUTABLE));
        launched.process.start();
        if (!launched.process.waitForStarted(5000))
            return false;
        const qint64 pid = launched.process.processId();
        return XWindows::waitFor(
            [&] {
                const QList<Window> windows = x.viewableWindowsOf(pid);
                launched.window = windows.size() == 1 ? windows.first() : 0;
                return launched.window != 0;
            },
            10000);
    }

    static QProcessEnvironment environmentWithSkip(const char* skip)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (skip)
            environment.insert(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"),
                               QString::fromLatin1(skip));
        else
            environment.remove(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"));
        return environment;
    }

    void verifyMainWindowInFront(const Launched& launched)
    {
        QCOMPARE(x.windowClass(launched.window), QString("tavimo/Tavimo"));
        const QList<Atom> types = x.atoms(launched.window, "_NET_WM_WINDOW_TYPE");
        QVERIFY2(types.contains(x.atom("_NET_WM_WINDOW_TYPE_NORMAL")),
                 "the one window shown is the main window, not an alert");
        // Active: with no window manager, the X input focus is the sign of it.
        QVERIFY(XWindows::waitFor([&] { return x.inputFocus() == launched.window; }, 3000));
        // In front: no viewable top-level window is stacked above it.
        QList<Window> viewable;
        for (Window window : x.topLevels()) {
            if (x.isViewable(window))
                viewable.append(window);
        }
        QCOMPARE(viewable.last(), launched.window);
    }

    void closeAndExpectCleanExit(Launched& launched)
    {
        x.requestClose(launched.window);
        QVERIFY2(launched.process.waitForFinished(10000), "closing the main window ends Tavimo");
        QCOMPARE(launched.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(launched.process.exitCode(), 0);
    }

private slots:
    void initTestCase() { QVERIFY2(x.display(), "no X server: this test runs on its own Xvfb"); }

    void launchShowsTheMainWindowActiveAndClosingItQuits()
    {
        Launched launched;
        QVERIFY2(launch(launched, environmentWithSkip("1")), "the main window never appeared");
        verifyMainWindowInFront(launched);
        closeAndExpectCleanExit(launched);
    }

    // Started from the build folder the program is in no bundle: no offer, even without
    // the skip switch, straight to the main window.
    void programOutsideABundleIsNotOffered()
    {
        Launched launched;
        QVERIFY2(launch(launched, environmentWithSkip(nullptr)), "the main window never appeared");
        verifyMainWindowInFront(launched);
        closeAndExpectCleanExit(launched);
    }

    void cleanup() { XSync(x.display(), False); }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "LaunchTest.moc"
