#include "X11TestSupport.h"
#include "lock/KeyboardBlocker.h"
#include "platform/x11/X11StallWatchdog.h"
#include "platform/x11/X11Tap.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <thread>

#include <signal.h>

using namespace std::chrono_literals;

// The keyboard blocker on a real X server, watched by a separate focused client.
class KeyboardBlockerX11Test : public QObject {
    Q_OBJECT

private:
    KeyClient client;
    KeyInjector injector;

    // True when a full set of keys reaches the client: nothing holds the keyboard.
    bool keysReachTheClient()
    {
        const KeyClientState before = client.state();
        const int count = injector.tapAll();
        const KeyClientState after = client.state();
        return after.presses == before.presses + count && after.releases == before.releases + count;
    }
    // True when none of a full set of keys reaches it.
    bool keysAreBlocked()
    {
        const KeyClientState before = client.state();
        injector.tapAll();
        const KeyClientState after = client.state();
        return after.presses == before.presses && after.releases == before.releases;
    }
    // Runs the event loop until keys are blocked, or the deadline passes.
    bool keysBecomeBlocked(int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            QTest::qWait(20);
            if (keysAreBlocked())
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need their Xvfb");
        QVERIFY2(injector.isConnected(), "cannot reach the X display");
        for (const char* name : kStandardKeys)
            QVERIFY2(injector.hasKey(name), name);
        QVERIFY2(client.start(), qPrintable(client.error()));
        QVERIFY(keysReachTheClient());
    }

    void noKeyReachesAnotherProgramWhileActiveAndAllDoAfterStop()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QVERIFY(keysAreBlocked());
        QTest::qWait(50); // let the tap drain what it swallowed
        QVERIFY(keysAreBlocked());
        blocker.stop();
        QVERIFY(keysReachTheClient());
    }

    void startTwiceHoldsOneGrabThatOneStopReleases()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QVERIFY(blocker.start());
        QVERIFY(keysAreBlocked());
        blocker.stop();
        QVERIFY(keysReachTheClient());
    }

    void destroyingAnActiveBlockerGivesTheKeyboardBack()
    {
        {
            KeyboardBlocker blocker;
            QVERIFY(blocker.start());
            QVERIFY(keysAreBlocked());
        }
        QVERIFY(keysReachTheClient());
    }

    // Another client holding the keyboard

    void startFailsQuicklyAndChangesNothingWhileAnotherClientHoldsTheKeyboard()
    {
        KeyboardBlocker blocker;
        QVERIFY(injector.grabKeyboard());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!blocker.start());
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!blocker.isActive());
        QVERIFY(!blocker.hasEventTap());
        QVERIFY(!blocker.hasRunLoopSource());
        QVERIFY(keysAreBlocked()); // the other client's grab is untouched

        injector.ungrabKeyboard();
        QVERIFY(blocker.start());
        QVERIFY(keysAreBlocked());
        blocker.stop();
        QVERIFY(keysReachTheClient());
    }

    void aGrabHeldOnlyForAMomentIsWaitedFor()
    {
        KeyboardBlocker blocker;
        QVERIFY(injector.grabKeyboard());
        std::thread menu([this] {
            std::this_thread::sleep_for(50ms);
            injector.ungrabKeyboard();
        });
        const bool started = blocker.start();
        menu.join();
        QVERIFY(started);
        QVERIFY(keysAreBlocked());
    }

    // Keys held at lock and unlock

    void aKeyReleasedSoonAfterLockingIsSeenUpBeforeTheGrab()
    {
        KeyboardBlocker blocker;
        const KeyClientState before = client.state();
        injector.press("a");
        KeyInjector finger; // connected beforehand: the release must land inside the wait
        std::thread lifting([&finger] {
            std::this_thread::sleep_for(30ms);
            finger.release("a");
        });
        const bool started = blocker.start();
        lifting.join();
        QVERIFY(started);
        const KeyClientState after = client.state();
        QCOMPARE(after.presses, before.presses + 1);
        QCOMPARE(after.releases, before.releases + 1);
        QCOMPARE(after.keysDown, 0);
    }

    void aKeyReleasedSoonAfterUnlockingIsNotALoneRelease()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        const KeyClientState before = client.state();
        injector.press("a"); // pressed while locked: the client never saw it go down
        KeyInjector finger;  // connected beforehand: the release must land inside the wait
        std::thread lifting([&finger] {
            std::this_thread::sleep_for(30ms);
            finger.release("a");
        });
        blocker.stop();
        lifting.join();
        const KeyClientState after = client.state();
        QCOMPARE(after.releases, before.releases);
        QCOMPARE(after.loneReleases, before.loneReleases);
        QCOMPARE(after.keysDown, 0);
    }

    void aKeyHeldAcrossLockAndUnlockDoesNotStayDown()
    {
        KeyboardBlocker blocker;
        injector.press("a"); // held past the wait: the lock goes ahead regardless
        QElapsedTimer timer;
        timer.start();
        QVERIFY(blocker.start());
        QVERIFY(timer.elapsed() < 1000);
        injector.release("a"); // let go while locked
        blocker.stop();
        QCOMPARE(client.state().keysDown, 0); // resynced when the focus came back
    }

    // The grab taken away, and a stalled main thread

    void aGrabTakenAwayIsTakenBack()
    {
        QCOMPARE(
            QProcess::execute(QStringLiteral("setxkbmap"),
                              {QStringLiteral("-option"), QStringLiteral("grab:break_actions")}),
            0);
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        injector.press("Control_L");
        injector.press("Alt_L");
        injector.tap("KP_Divide"); // XF86_Ungrab: the server breaks every grab
        injector.release("Alt_L");
        injector.release("Control_L");
        QVERIFY(keysBecomeBlocked());
        QVERIFY(blocker.isActive());
        blocker.stop();
        QVERIFY(keysReachTheClient());
        QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-option")}), 0);
    }

    void aStalledMainThreadNeverKeepsTheKeyboard()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        const KeyClientState before = client.state();

        // No event loop runs from here: the main thread is stalled as far as the tap knows.
        QElapsedTimer stalled;
        stalled.start();
        injector.tap("a");
        while (client.state().presses == before.presses && stalled.elapsed() < 5000) {
            std::this_thread::sleep_for(50ms);
            injector.tap("b");
        }
        const auto bound =
            std::chrono::milliseconds(X11Tap::kStallBound + 2 * X11StallWatchdog::kTick);
        QVERIFY2(client.state().presses > before.presses,
                 "the keyboard stayed locked behind a stalled main thread");
        QVERIFY2(stalled.elapsed() <= bound.count() + 300,
                 qPrintable(QStringLiteral("keys came back after %1 ms").arg(stalled.elapsed())));
        QVERIFY(keysReachTheClient()); // typing goes on normally during the stall

        QVERIFY(keysBecomeBlocked()); // running again: locked again
        QVERIFY(blocker.isActive());
        blocker.stop();
        QVERIFY(keysReachTheClient());
    }

    void killingTheLockingProcessGivesTheKeyboardBack()
    {
        QProcess child;
        child.start(QStringLiteral(TAVIMO_LOCK_CHILD), {});
        QVERIFY(child.waitForStarted(5000));
        QVERIFY(child.waitForReadyRead(5000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("locked"));
        QVERIFY(keysAreBlocked());

        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        QVERIFY(keysReachTheClient());
    }
};

QTEST_GUILESS_MAIN(KeyboardBlockerX11Test)
#include "KeyboardBlockerX11Test.moc"
