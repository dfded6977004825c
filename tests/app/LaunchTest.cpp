#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// Xlib after Qt: its macros (None, Bool, Status) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

// Launches the real program on the test's own X server and watches it from outside, as
// a window manager would.
class LaunchTest : public QObject {
    Q_OBJECT

private:
    Display* display = nullptr;

    // The window holding the input focus when it is a viewable window of process `pid`:
    // with no window manager, the focus is what being active means.
    Window activeWindowOf(qint64 pid) const
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        XWindowAttributes attributes{};
        if (focus <= PointerRoot || !XGetWindowAttributes(display, focus, &attributes) ||
            attributes.map_state != IsViewable)
            return 0;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, focus, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &items, &after, &data);
        const bool ours = data && format == 32 && items == 1 &&
                          *reinterpret_cast<unsigned long*>(data) == static_cast<quint64>(pid);
        if (data)
            XFree(data);
        return ours ? focus : 0;
    }

    // Asks a window to close, as a window manager's close button does.
    void requestClose(Window window) const
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }

private slots:
    void initTestCase()
    {
        display = XOpenDisplay(nullptr);
        QVERIFY2(display, "no X server: this test runs on its own Xvfb");
    }
    void cleanupTestCase()
    {
        if (display)
            XCloseDisplay(display);
    }

    void mainWindowShownActiveAndClosingItQuits_data()
    {
        QTest::addColumn<QString>("skip");
        QTest::newRow("skipping the offer") << "1";
        // Started from the build folder the program is in no bundle: no offer at all.
        QTest::newRow("outside a bundle") << QString();
    }
    void mainWindowShownActiveAndClosingItQuits()
    {
        QFETCH(QString, skip);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"));
        if (!skip.isNull())
            environment.insert(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"), skip);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TAVIMO_EXECUTABLE), QStringList());
        QVERIFY(process.waitForStarted(5000));

        Window window = 0;
        QVERIFY2(
            QTest::qWaitFor([&] { return (window = activeWindowOf(process.processId())); }, 10000),
            "the main window never became active");
        requestClose(window);
        QVERIFY2(process.waitForFinished(10000), "closing the main window ends Tavimo");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "LaunchTest.moc"
