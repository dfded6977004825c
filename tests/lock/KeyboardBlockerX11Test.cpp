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
    KeyWatch x;
    KeyInjector finger; // connected beforehand: its release must land inside the keys-up wait

    std::thread liftSoon(const char* key)
    {
        return std::thread([this, key] {
            std::this_thread::sleep_for(30ms);
            finger.release(key);
        });
    }

private slots:
    void initTestCase()
    {
        const QString problem = x.setUp();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void noKeyReachesAnotherProgramWhileActiveAndAllDoAfterStop()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QVERIFY(x.keysBlocked());
        QTest::qWait(50); // the tap drains what it swallowed: still nothing gets through
        QVERIFY(x.keysBlocked());
        blocker.stop();
        QVERIFY(x.keysReach());
    }

    void startTwiceHoldsOneGrabThatOneStopOrDestructionReleases()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QVERIFY(blocker.start());
        QVERIFY(x.keysBlocked());
        blocker.stop();
        QVERIFY(x.keysReach());
        {
            KeyboardBlocker destroyed;
            QVERIFY(destroyed.start());
            QVERIFY(x.keysBlocked());
        }
        QVERIFY(x.keysReach());
    }

    void anotherClientsGrabRefusesStartQuicklyUnlessItEndsAtOnce()
    {
        KeyboardBlocker blocker;
        QVERIFY(x.keys.grabKeyboard());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!blocker.start());
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!blocker.isActive() && !blocker.hasEventTap() && !blocker.hasRunLoopSource());
        QVERIFY(x.keysBlocked()); // the other client's grab is untouched
        x.keys.ungrabKeyboard();
        QVERIFY(blocker.start());
        QVERIFY(x.keysBlocked());
        blocker.stop();

        // A grab held only for a moment (an open menu) is waited for.
        QVERIFY(x.keys.grabKeyboard());
        std::thread menu([this] {
            std::this_thread::sleep_for(50ms);
            x.keys.ungrabKeyboard();
        });
        const bool started = blocker.start();
        menu.join();
        QVERIFY(started);
        QVERIFY(x.keysBlocked());
    }

    // Keys held at lock and unlock never stay down (or come up alone) in another program.

    void aKeyReleasedJustAfterLockingOrUnlockingIsSeenWhole()
    {
        KeyboardBlocker blocker;
        KeyClientState before = x.client.state();
        x.keys.press("a");
        std::thread lifting = liftSoon("a");
        QVERIFY(blocker.start()); // waits for the key to come up, then grabs
        lifting.join();
        KeyClientState after = x.client.state();
        QCOMPARE(after.presses - before.presses, 1);
        QCOMPARE(after.releases - before.releases, 1);
        QCOMPARE(after.keysDown, 0);

        before = after;
        x.keys.press("a"); // pressed while locked: the client never saw it go down
        lifting = liftSoon("a");
        blocker.stop(); // waits for it to come up before letting go: no lone release
        lifting.join();
        after = x.client.state();
        QCOMPARE(after.releases, before.releases);
        QCOMPARE(after.loneReleases, before.loneReleases);
        QCOMPARE(after.keysDown, 0);
    }

    void aKeyHeldAcrossLockAndUnlockDoesNotStayDown()
    {
        KeyboardBlocker blocker;
        x.keys.press("a"); // held past the wait: the lock goes ahead regardless
        QElapsedTimer timer;
        timer.start();
        QVERIFY(blocker.start());
        QVERIFY(timer.elapsed() < 1000);
        x.keys.release("a"); // let go while locked
        blocker.stop();
        QCOMPARE(x.client.state().keysDown, 0); // resynced when the focus came back
    }

    void aStalledMainThreadGivesTheKeyboardBackWithinTheBoundAndRelocksAfter()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        const KeyClientState before = x.client.state();

        // No event loop runs from here: the main thread is stalled as far as the tap knows.
        QElapsedTimer stalled;
        stalled.start();
        x.keys.tap("a");
        while (x.client.state().presses == before.presses && stalled.elapsed() < 5000) {
            std::this_thread::sleep_for(50ms);
            x.keys.tap("b");
        }
        const auto bound =
            std::chrono::milliseconds(X11Tap::kStallBound + 2 * X11StallWatchdog::kTick);
        QVERIFY2(x.client.state().presses > before.presses,
                 "the keyboard stayed locked behind a stalled main thread");
        QVERIFY2(stalled.elapsed() >= X11Tap::kStallBound.count() &&
                     stalled.elapsed() <= bound.count() + 300,
                 qPrintable(QStringLiteral("keys came back after %1 ms").arg(stalled.elapsed())));
        QVERIFY(x.keysReach()); // typing goes on normally during the stall

        QTRY_VERIFY_WITH_TIMEOUT(x.keysBlocked(), 5000); // running again: locked again
        QVERIFY(blocker.isActive());
        blocker.stop();
        QVERIFY(x.keysReach());
    }

    void killingTheLockingProcessGivesTheKeyboardBack()
    {
        QProcess child;
        child.start(QStringLiteral(TAVIMO_LOCK_CHILD), {});
        QVERIFY(child.waitForStarted(5000));
        QVERIFY(child.waitForReadyRead(5000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("locked"));
        QVERIFY(x.keysBlocked());

        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        QVERIFY(x.keysReach());
    }
};

QTEST_GUILESS_MAIN(KeyboardBlockerX11Test)
#include "KeyboardBlockerX11Test.moc"
