#include "X11TestSupport.h"
#include "platform/x11/X11KeyboardAccess.h"
#include "platform/x11/X11StallWatchdog.h"
#include "platform/x11/X11Tap.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

// What the tap handed to its callback, and a callback that re-enables a switched-off
// tap the way the keyboard blocker does.
struct Recorder {
    std::vector<EventType> types;
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
    KeyClient client;
    KeyInjector injector;
    Recorder recorder;
    std::unique_ptr<EventTap> tap;
    std::unique_ptr<RunLoopSource> source;

    // Taps the keyboard as the blocker does: create, source, install, enable.
    bool lock(EventMask mask = kLockMask)
    {
        recorder = Recorder{};
        recorder.access = &access;
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
    // The X server breaks every grab on XF86_Ungrab (Ctrl+Alt+KP_Divide with the
    // grab:break_actions option): the one real way the platform takes a grab away.
    void breakEveryGrab()
    {
        injector.press("Control_L");
        injector.press("Alt_L");
        injector.tap("KP_Divide");
        injector.release("Alt_L");
        injector.release("Control_L");
    }
    long switchOffs(EventType type) const
    {
        return std::count(recorder.types.begin(), recorder.types.end(), type);
    }
    // Runs the event loop until the callback has seen `count` events.
    bool waitForRecorded(std::size_t count)
    {
        QElapsedTimer timer;
        timer.start();
        while (recorder.types.size() < count && timer.elapsed() < 5000)
            QTest::qWait(10);
        return recorder.types.size() >= count;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need their Xvfb");
        QVERIFY2(injector.isConnected(), "cannot reach the X display");
        for (const char* name : kStandardKeys)
            QVERIFY2(injector.hasKey(name), name);
        QVERIFY2(client.start(), qPrintable(client.error()));
        QCOMPARE(
            QProcess::execute(QStringLiteral("setxkbmap"),
                              {QStringLiteral("-option"), QStringLiteral("grab:break_actions")}),
            0);
        QVERIFY(injector.hasKey("KP_Divide"));
    }
    void cleanup() { unlock(); }

    void everyGrabbedKeyReachesTheCallbackWithItsTypeAndNoneTheClient()
    {
        const KeyClientState before = client.state();
        QVERIFY(lock());
        injector.tapAll();
        QVERIFY(waitForRecorded(18));

        const std::vector<EventType> expected = {
            10, 11, 10, 11,         // a, z
            12, 12, 12, 12, 12, 12, // Shift, Control, Alt: down and up alike
            12, 12,                 // Super
            10, 11, 10, 11,         // Escape, Return
            14, 14,                 // XF86AudioRaiseVolume
        };
        QCOMPARE(recorder.types, expected);
        for (void* context : recorder.contexts)
            QCOMPARE(context, static_cast<void*>(&recorder));
        const KeyClientState during = client.state();
        QCOMPARE(during.presses, before.presses);
        QCOMPARE(during.releases, before.releases);

        unlock();
        const int count = injector.tapAll();
        const KeyClientState after = client.state();
        QCOMPARE(after.presses, before.presses + count);
        QCOMPARE(after.releases, before.releases + count);
    }

    void theMaskChoosesWhatTheCallbackSeesButEveryKeyIsSwallowed()
    {
        const KeyClientState before = client.state();
        QVERIFY(lock(eventMaskBit(kEventKeyDown)));
        injector.tap("Shift_L");
        injector.tap("XF86AudioRaiseVolume");
        injector.tap("a");
        injector.tap("b");
        QVERIFY(waitForRecorded(2));
        QTest::qWait(50); // nothing else is on its way: the last key has been seen
        QCOMPARE(recorder.types, (std::vector<EventType>{kEventKeyDown, kEventKeyDown}));
        QCOMPARE(client.state().presses, before.presses);
    }

    void unsupportedTapsAreRefusedWithoutTouchingTheKeyboard()
    {
        const auto create = [&](TapLocation location, TapOptions options, EventMask mask,
                                TapCallback callback) {
            return access.createTap(location, TapPlacement::HeadInsert, options, mask, callback,
                                    &recorder);
        };
        QVERIFY(!create(TapLocation::Hid, TapOptions::Default, kLockMask, &record));
        QVERIFY(!create(TapLocation::AnnotatedSession, TapOptions::Default, kLockMask, &record));
        QVERIFY(!create(TapLocation::Session, TapOptions::ListenOnly, kLockMask, &record));
        QVERIFY(!create(TapLocation::Session, TapOptions::Default, 0, &record));
        QVERIFY(!create(TapLocation::Session, TapOptions::Default, kLockMask | eventMaskBit(1),
                        &record)); // a mouse button
        QVERIFY(!create(TapLocation::Session, TapOptions::Default, eventMaskBit(13), &record));
        QVERIFY(!create(TapLocation::Session, TapOptions::Default, kLockMask, nullptr));
        // Nothing holds the keyboard: another client can have it.
        QVERIFY(injector.grabKeyboard());
        injector.ungrabKeyboard();
    }

    void trustAndTapsNeedAnX11SessionWithItsDisplay()
    {
        QVERIFY(access.isProcessTrusted());
        QVERIFY(access.preflightListenAccess());

        const QByteArray display = qgetenv("DISPLAY");
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        QVERIFY(!access.isProcessTrusted());
        QVERIFY(!access.preflightListenAccess());
        QVERIFY(!lock()); // an X grab there would leave Wayland programs typing
        qunsetenv("WAYLAND_DISPLAY");

        qputenv("XDG_SESSION_TYPE", "wayland");
        QVERIFY(!access.isProcessTrusted());
        QVERIFY(!lock());
        qputenv("XDG_SESSION_TYPE", "x11");

        qunsetenv("DISPLAY");
        QVERIFY(!access.isProcessTrusted());
        QVERIFY(!lock());
        qputenv("DISPLAY", ":9999"); // nothing listens there
        QVERIFY(!access.isProcessTrusted());
        QVERIFY(!lock());

        qputenv("DISPLAY", display);
        QVERIFY(access.isProcessTrusted());
        QVERIFY(lock());
    }

    void aGrabTakenAwayIsReportedAndTakenBack()
    {
        QVERIFY(lock());
        breakEveryGrab();
        QTRY_VERIFY_WITH_TIMEOUT(switchOffs(kEventTapDisabledByUserInput) == 1, 5000);
        QVERIFY(static_cast<X11Tap&>(*tap).holdsGrab());

        const KeyClientState taken = client.state();
        injector.tapAll();
        QCOMPARE(client.state().presses, taken.presses);
    }

    void aGrabTakenAwayAndHeldElsewhereIsTakenBackOnceFree()
    {
        QVERIFY(lock());
        breakEveryGrab();
        QVERIFY(injector.grabKeyboard()); // before the tap hears of it
        QTRY_VERIFY_WITH_TIMEOUT(switchOffs(kEventTapDisabledByUserInput) == 1, 5000);
        QVERIFY(!static_cast<X11Tap&>(*tap).holdsGrab());

        injector.ungrabKeyboard();
        QTRY_VERIFY_WITH_TIMEOUT(static_cast<X11Tap&>(*tap).holdsGrab(), 2000);
        const KeyClientState taken = client.state();
        injector.tapAll();
        QCOMPARE(client.state().presses, taken.presses);
    }

    void trustEndsWhenTheDisplayGoesAway()
    {
        QProcess server;
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForStarted(5000));
        while (!server.canReadLine())
            QVERIFY(server.waitForReadyRead(10000));
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":" + server.readLine().trimmed());
        QVERIFY(access.isProcessTrusted());

        server.kill();
        QVERIFY(server.waitForFinished(5000));
        QTRY_VERIFY(!access.isProcessTrusted());
        qputenv("DISPLAY", display);
        QVERIFY(access.isProcessTrusted());
    }

    void aStalledMainThreadLosesTheGrabAndGetsItBackWhenItRunsAgain()
    {
        QVERIFY(lock());
        const KeyClientState before = client.state();

        // The main thread stops serving the tap from here on: no event loop runs.
        QElapsedTimer stalled;
        stalled.start();
        injector.tap("a"); // waits, unread, on the tap's connection
        long reached = 0;
        while (reached == 0 && stalled.elapsed() < 5000) {
            std::this_thread::sleep_for(50ms);
            injector.tap("b");
            reached = client.state().presses - before.presses;
        }
        const auto bound = X11Tap::kStallBound + 2 * X11StallWatchdog::kTick;
        QVERIFY2(reached > 0, "the keyboard stayed locked behind a stalled main thread");
        QVERIFY2(stalled.elapsed() <= std::chrono::milliseconds(bound).count() + 300,
                 qPrintable(QStringLiteral("keys came back after %1 ms").arg(stalled.elapsed())));
        QVERIFY(stalled.elapsed() >= X11Tap::kStallBound.count());

        // Running again: told of the timeout, and nothing of what was swallowed is handed
        // on late.
        QTRY_VERIFY_WITH_TIMEOUT(static_cast<X11Tap&>(*tap).holdsGrab(), 5000);
        QCOMPARE(recorder.types, std::vector<EventType>{kEventTapDisabledByTimeout});
        const KeyClientState regrabbed = client.state();
        injector.tapAll();
        QCOMPARE(client.state().presses, regrabbed.presses);
    }
};

QTEST_GUILESS_MAIN(X11KeyboardAccessTest)
#include "X11KeyboardAccessTest.moc"
