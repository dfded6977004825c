// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11TestSupport.h"
#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
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

    // XF86_Ungrab (Ctrl+Alt+KP_Divide with grab:break_actions): the server breaks every grab.
    void breakGrabs()
    {
        x.keys.press("Control_L");
        x.keys.press("Alt_L");
        x.keys.tap("KP_Divide");
        x.keys.release("Alt_L");
        x.keys.release("Control_L");
    }

private slots:
    void initTestCase()
    {
        const QString problem = x.setUp();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(
            QProcess::execute(QStringLiteral("setxkbmap"),
                              {QStringLiteral("-option"), QStringLiteral("grab:break_actions")}),
            0);
    }

    void noKeyReachesAnotherProgramWhileActiveAndAllDoAfterStopOrDestruction()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QVERIFY(blocker.start()); // one grab: one stop must give everything back
        QVERIFY(x.keysBlocked());
        QTest::qWait(50); // the tap drains what it swallowed: still nothing gets through
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

    // In a Wayland session an X grab would leave Wayland programs typing: no trust, no lock.
    void refusesOutsideAnX11SessionWithItsDisplay()
    {
        platform::KeyboardAccess& access = platform::keyboardAccess();
        for (const auto& [variable, value] : {std::pair{"WAYLAND_DISPLAY", "wayland-0"},
                                              {"XDG_SESSION_TYPE", "wayland"},
                                              {"DISPLAY", ":9999"}}) { // nobody serves it
            const QByteArray saved = qgetenv(variable);
            const bool wasSet = qEnvironmentVariableIsSet(variable);
            qputenv(variable, value);
            KeyboardBlocker blocker;
            const bool refused =
                !access.isProcessTrusted() && !access.preflightListenAccess() && !blocker.start();
            wasSet ? qputenv(variable, saved) : qunsetenv(variable);
            QVERIFY2(refused && !blocker.isActive(), variable);
        }
        QVERIFY(access.isProcessTrusted() && access.preflightListenAccess());
        QVERIFY(x.keysReach());
    }

    void aGrabTakenAwayIsTakenBackOnceFree()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        breakGrabs();
        QVERIFY(x.keysReach()); // really taken away: the event loop has not run yet
        QTRY_VERIFY_WITH_TIMEOUT(x.keysBlocked(), 2000);

        // Taken away and held by another client first: taken back once that one lets go.
        breakGrabs();
        QVERIFY(x.keys.grabKeyboard());
        QTest::qWait(500);
        x.keys.ungrabKeyboard();
        QTRY_VERIFY_WITH_TIMEOUT(x.keysBlocked(), 2000);
        QVERIFY(blocker.isActive());
    }

    void aKeyHeldAcrossLockAndUnlockDoesNotStayDown()
    {
        KeyboardBlocker blocker;
        x.keys.press("a"); // held past the keys-up wait: the lock goes ahead regardless
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
        while (x.client.state().presses == before.presses && stalled.elapsed() < 5000) {
            x.keys.tap("b");
            std::this_thread::sleep_for(50ms);
        }
        const auto bound = X11Tap::kStallBound + 2 * X11StallWatchdog::kTick + 300ms;
        QVERIFY2(stalled.elapsed() >= X11Tap::kStallBound.count() &&
                     stalled.elapsed() <= bound.count(),
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
