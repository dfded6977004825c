// A locked keyboard holds logind's power, suspend and hibernate keys off, from start()
// to stop() (also when the lock button and the overlay's unlock button drive them), and
// locking works the same, quietly, when no login manager grants that. Real X11 tap,
// stand-in login manager on a private system bus (both wrappers).
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

    void startStandIn(const QString& behaviour, uint delayMs = 0)
    {
        const QString problem = m_standIn->start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(m_standIn->setBehaviour(behaviour, delayMs));
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
        QVERIFY(blocker->start());
        QVERIFY(blocker->start()); // already locked: nothing new
        QTRY_COMPARE(m_standIn->states(), QStringList{"held"});
        QCOMPARE(m_standIn->request(0), kExpectedRequest);
        blocker->stop();
        QTRY_COMPARE(m_standIn->states(), QStringList{"released"});

        QVERIFY(blocker->start());
        QTRY_COMPARE(m_standIn->states(), (QStringList{"released", "held"}));
        blocker.reset();
        QTRY_COMPARE(m_standIn->states(), (QStringList{"released", "released"}));
    }

    void aLockEndedBeforeLogindAnswersNeverWaitsAndLeavesNothingHeld()
    {
        startStandIn(QStringLiteral("answer"), 1500);
        KeyboardBlocker blocker;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(blocker.start());
        QCOMPARE_LT(timer.elapsed(), 500);
        QTRY_COMPARE(m_standIn->states(), QStringList{"pending"});
        blocker.stop();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->states(), QStringList{"released"}, 5000);
    }

    void aRefusedTapAsksForNothing()
    {
        startStandIn(QStringLiteral("answer"));
        QVERIFY(m_injector.grabKeyboard()); // another client keeps the keyboard
        KeyboardBlocker blocker;
        QVERIFY(!blocker.start());
        QTest::qWait(500);
        m_injector.ungrabKeyboard();
        QCOMPARE(m_standIn->states(), QStringList{});
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
        QVERIFY(blocker.isActive());
        QVERIFY(keyboardIsGrabbed());
        blocker.stop();
        QVERIFY(!keyboardIsGrabbed());
        QCOMPARE(output.recorded(), QString());
    }

    void lockAndUnlockThroughTheWindowsTakeAndLetGoTheInhibitor()
    {
        startStandIn(QStringLiteral("answer"));
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));

        QTest::mouseClick(controller.lockButton()->button(), Qt::LeftButton);
        QVERIFY(controller.blocker().isActive());
        QTRY_COMPARE(m_standIn->states(), QStringList{"held"});
        QCOMPARE(m_standIn->request(0), kExpectedRequest);

        GlassButton* unlock = nullptr;
        for (OverlayWindow* overlay : controller.overlays()) {
            if (overlay->isPrimaryDisplay())
                unlock = overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
        }
        QVERIFY(unlock);
        QTest::mouseClick(unlock->button(), Qt::LeftButton);
        QVERIFY(!controller.blocker().isActive());
        QTRY_COMPARE(m_standIn->states(), QStringList{"released"});
    }
};

QTEST_MAIN(X11PowerKeysTest)
#include "X11PowerKeysTest.moc"
