#include "X11TestSupport.h"
#include "platform/x11/X11KeyboardAccess.h"
#include "platform/x11/X11Tap.h"

#include <QProcess>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace platform;
using Types = std::vector<EventType>;

namespace {

// What the tap handed to its callback; re-enables a switched-off tap as the blocker does.
struct Recorder {
    Types types;
    std::vector<void*> contexts;
    KeyboardAccess* access = nullptr;
    EventTap* tap = nullptr;
};

TapEvent* record(TapProxy*, EventType type, TapEvent* event, void* context)
{
    auto* recorder = static_cast<Recorder*>(context);
    recorder->types.push_back(type);
    recorder->contexts.push_back(context);
    if (type > 0xFFFFFFFDu && recorder->tap)
        recorder->access->enableTap(*recorder->tap, true);
    return event;
}

constexpr EventMask kLockMask = 0x5C00;

} // namespace

class X11KeyboardAccessTest : public QObject {
    Q_OBJECT

private:
    X11KeyboardAccess access;
    KeyWatch x;
    Recorder recorder;
    std::unique_ptr<EventTap> tap;
    std::unique_ptr<RunLoopSource> source;

    // Taps the keyboard as the blocker does: create, source, install, enable.
    bool lock(EventMask mask = kLockMask)
    {
        recorder = Recorder{{}, {}, &access, nullptr};
        tap = access.createTap(TapLocation::Session, TapPlacement::HeadInsert, TapOptions::Default,
                               mask, &record, &recorder);
        if (!tap)
            return false;
        recorder.tap = tap.get();
        source = access.createRunLoopSource(*tap);
        access.addToMainLoop(*source);
        access.enableTap(*tap, true);
        return true;
    }
    void unlock()
    {
        if (tap)
            access.enableTap(*tap, false);
        if (source)
            access.removeFromMainLoop(*source);
        recorder.tap = nullptr;
        tap.reset();
        source.reset();
    }
    bool holdsGrab() const { return static_cast<X11Tap&>(*tap).holdsGrab(); }
    long switchOffs() const
    {
        return std::count(recorder.types.begin(), recorder.types.end(),
                          kEventTapDisabledByUserInput);
    }

private slots:
    void initTestCase()
    {
        const QString problem = x.setUp();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        // Lets Ctrl+Alt+KP_Divide (XF86_Ungrab) break every grab: the platform taking ours.
        QCOMPARE(
            QProcess::execute(QStringLiteral("setxkbmap"),
                              {QStringLiteral("-option"), QStringLiteral("grab:break_actions")}),
            0);
    }
    void cleanup() { unlock(); }

    void everyGrabbedKeyReachesTheCallbackWithItsTypeAndNoneTheClient()
    {
        QVERIFY(lock());
        QVERIFY(x.keysBlocked());
        QTRY_COMPARE(recorder.types.size(), std::size_t(18));
        const Types expected = {
            10, 11, 10, 11,                 // a, z
            12, 12, 12, 12, 12, 12, 12, 12, // Shift, Control, Alt, Super: down and up alike
            10, 11, 10, 11,                 // Escape, Return
            14, 14,                         // XF86AudioRaiseVolume
        };
        QCOMPARE(recorder.types, expected);
        QCOMPARE(recorder.contexts, std::vector<void*>(18, &recorder));
        unlock();
        QVERIFY(x.keysReach());

        // The mask chooses what the callback sees; every key is swallowed all the same.
        QVERIFY(lock(eventMaskBit(kEventKeyDown)));
        QVERIFY(x.keysBlocked());
        QTRY_COMPARE(recorder.types.size(), std::size_t(4));
        QTest::qWait(50); // nothing else is on its way
        QCOMPARE(recorder.types, Types(4, kEventKeyDown));
    }

    // In a Wayland session an X grab would leave Wayland programs typing.
    void trustAndTapsNeedAnX11SessionWithItsDisplay()
    {
        QVERIFY(access.isProcessTrusted());
        QVERIFY(access.preflightListenAccess());
        const QByteArray display = qgetenv("DISPLAY");
        const auto verifyRefused = [&] {
            QVERIFY(!access.isProcessTrusted());
            QVERIFY(!access.preflightListenAccess());
            QVERIFY(!lock());
        };
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        verifyRefused();
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_SESSION_TYPE", "wayland");
        verifyRefused();
        qputenv("XDG_SESSION_TYPE", "x11");
        qunsetenv("DISPLAY");
        verifyRefused();
        qputenv("DISPLAY", ":9999"); // nothing listens there
        verifyRefused();

        // A display that goes away ends trust.
        QProcess server;
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForStarted(5000));
        while (!server.canReadLine())
            QVERIFY(server.waitForReadyRead(10000));
        qputenv("DISPLAY", ":" + server.readLine().trimmed());
        QVERIFY(access.isProcessTrusted());
        server.kill();
        QVERIFY(server.waitForFinished(5000));
        QTRY_VERIFY(!access.isProcessTrusted());

        qputenv("DISPLAY", display);
        QVERIFY(access.isProcessTrusted());
        QVERIFY(lock());
    }

    void aGrabTakenAwayIsReportedAndTakenBackOnceFree_data()
    {
        QTest::addColumn<bool>("heldElsewhere");
        QTest::newRow("free at once") << false;
        QTest::newRow("held by another client first") << true;
    }
    void aGrabTakenAwayIsReportedAndTakenBackOnceFree()
    {
        QFETCH(bool, heldElsewhere);
        QVERIFY(lock());
        x.keys.press("Control_L");
        x.keys.press("Alt_L");
        x.keys.tap("KP_Divide"); // XF86_Ungrab: the server breaks every grab
        x.keys.release("Alt_L");
        x.keys.release("Control_L");
        if (heldElsewhere)
            QVERIFY(x.keys.grabKeyboard()); // before the tap hears of it
        QTRY_COMPARE_WITH_TIMEOUT(switchOffs(), 1L, 5000);
        QCOMPARE(holdsGrab(), !heldElsewhere);
        if (heldElsewhere) {
            x.keys.ungrabKeyboard();
            QTRY_VERIFY_WITH_TIMEOUT(holdsGrab(), 2000);
        }
        QVERIFY(x.keysBlocked());
    }
};

QTEST_GUILESS_MAIN(X11KeyboardAccessTest)
#include "X11KeyboardAccessTest.moc"
