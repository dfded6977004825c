// SPDX-License-Identifier: GPL-3.0-or-later

// A locked keyboard holds logind's power, suspend and hibernate keys off until unlocked, and
// locks the same, quietly, when no login manager grants that. Real X11 tap, stand-in login
// manager on a private system bus.
#include "X11TestSupport.h"
#include "lock/KeyboardBlocker.h"
#include "support/FakeLoginManagerProcess.h"
#include "support/OutputRecorder.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

const QStringList kExpectedRequest = {
    QStringLiteral("handle-power-key:handle-suspend-key:handle-hibernate-key"),
    QStringLiteral("Tavimo"), QStringLiteral("Keyboard locked for cleaning"),
    QStringLiteral("block")};

} // namespace

class X11PowerKeysTest : public QObject {
    Q_OBJECT

private:
    KeyInjector m_injector;
    std::unique_ptr<FakeLoginManagerProcess> m_standIn;

    void startStandIn(const QString& behaviour)
    {
        const QString problem = m_standIn->start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(m_standIn->setBehaviour(behaviour));
    }
    // The keyboard is really taken: no other client can grab it.
    bool keyboardIsGrabbed()
    {
        if (!m_injector.grabKeyboard())
            return true;
        m_injector.ungrabKeyboard();
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_injector.isConnected(), "no X server: run under with-xvfb.sh");
    }
    void init() { m_standIn = std::make_unique<FakeLoginManagerProcess>(); }
    void cleanup() { m_standIn.reset(); }

    void everyLockHoldsThePowerKeysUntilStopOrDestruction()
    {
        startStandIn(QStringLiteral("answer"));
        auto blocker = std::make_unique<KeyboardBlocker>();
        // Another client holds the keyboard: refused soon, nothing installed, nothing asked
        // of logind; once it lets go, locking works.
        QVERIFY(m_injector.grabKeyboard());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!blocker->start());
        QCOMPARE_LT(timer.elapsed(), 1000);
        QVERIFY(!blocker->isActive() && !blocker->hasEventTap() && !blocker->hasRunLoopSource());
        m_injector.ungrabKeyboard();
        QVERIFY(blocker->start());
        QVERIFY(blocker->start()); // already locked: nothing new
        QTRY_COMPARE(m_standIn->states(), QStringList{"held"});
        QCOMPARE(m_standIn->request(0), kExpectedRequest);
        blocker->stop();
        QTRY_COMPARE(m_standIn->states(), QStringList{"released"});

        // Ended before logind answers: never waited for, and nothing stays held.
        QVERIFY(m_standIn->setBehaviour(QStringLiteral("answer"), 1500));
        timer.restart();
        QVERIFY(blocker->start());
        QCOMPARE_LT(timer.elapsed(), 500);
        QTRY_COMPARE(m_standIn->states(), (QStringList{"released", "pending"}));
        blocker.reset();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->states(), (QStringList{"released", "released"}), 5000);
    }

    void lockWorksQuietlyWithoutALoginManagerOrWhenItRefuses_data()
    {
        QTest::addColumn<bool>("refusing");
        QTest::newRow("none on the bus") << false;
        QTest::newRow("refusing") << true;
    }
    void lockWorksQuietlyWithoutALoginManagerOrWhenItRefuses()
    {
        QFETCH(bool, refusing);
        if (refusing)
            startStandIn(QStringLiteral("refuse"));
        OutputRecorder output;
        QVERIFY(output.isRecording());
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        if (refusing)
            QTRY_COMPARE(m_standIn->states(), QStringList{"refused"});
        QTest::qWait(500); // long enough for any answer to have been handled
        QVERIFY(blocker.isActive() && keyboardIsGrabbed());
        blocker.stop();
        QVERIFY(!keyboardIsGrabbed());
        QCOMPARE(output.recorded(), QString());
    }

    // And the X server's screen saver stays off while locked.
    void lockAndUnlockThroughTheWindowsTakeAndLetGoTheInhibitor()
    {
        startStandIn(QStringLiteral("answer"));
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        m_injector.setScreenSaverTimeout(1);

        QTest::mouseClick(controller.lockButton()->button(), Qt::LeftButton);
        QVERIFY(controller.blocker().isActive());
        QTRY_COMPARE(m_standIn->states(), QStringList{"held"});
        QCOMPARE(m_standIn->request(0), kExpectedRequest);
        QTest::qWait(2000);
        QVERIFY(!m_injector.screenSaverIsOn());

        GlassButton* unlock = nullptr;
        for (OverlayWindow* overlay : controller.overlays()) {
            if (overlay->isPrimaryDisplay())
                unlock = overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
        }
        QVERIFY(unlock);
        QTest::mouseClick(unlock->button(), Qt::LeftButton);
        QVERIFY(!controller.blocker().isActive());
        QTRY_COMPARE(m_standIn->states(), QStringList{"released"});
        QTRY_VERIFY_WITH_TIMEOUT(m_injector.screenSaverIsOn(), 3000);
        m_injector.setScreenSaverTimeout(0);
    }
};

QTEST_MAIN(X11PowerKeysTest)
#include "X11PowerKeysTest.moc"
