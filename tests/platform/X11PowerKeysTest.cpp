// A locked keyboard holds logind's power, suspend and hibernate keys off, from start()
// to stop() (also when the lock button and the overlay's unlock button drive them), and
// locking works the same when no login manager grants that. Real X11
// tap, stand-in login manager on a private system bus (both wrappers).
#include "X11TestSupport.h"
#include "lock/KeyboardBlocker.h"
#include "support/FakeLoginManagerProcess.h"
#include "support/OutputRecorder.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace {

const QStringList kExpectedRequest = {
    QStringLiteral("handle-power-key:handle-suspend-key:handle-hibernate-key"),
    QStringLiteral("Tavimo"), QStringLiteral("Keyboard locked for cleaning"),
    QStringLiteral("block")};

// Long enough for a stand-in that answers at once to have granted a lock.
constexpr int kSettleMs = 500;

} // namespace

class X11PowerKeysTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_injector.isConnected(), "no X server: run under with-xvfb.sh");
    }
    void init() { m_standIn = std::make_unique<FakeLoginManagerProcess>(); }
    void cleanup() { m_standIn.reset(); }

    void startHoldsThePowerKeysAndStopLetsThemGo();
    void everyLockTakesItsOwnInhibitor();
    void destroyingALockedBlockerLetsThePowerKeysGo();
    void refusedTapAsksForNothingAndHoldsNothing();
    void lockWorksQuietlyWithoutALoginManager();
    void lockWorksQuietlyWhenTheLoginManagerRefuses();
    void lockAndUnlockThroughTheWindowsTakeAndLetGoTheInhibitor();

private:
    void startStandIn(const QString& behaviour = QStringLiteral("answer"))
    {
        const QString problem = m_standIn->start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(m_standIn->setBehaviour(behaviour, 0));
    }
    // The keyboard is really taken: no other client can grab it.
    bool keyboardIsGrabbed()
    {
        if (!m_injector.grabKeyboard())
            return true;
        m_injector.ungrabKeyboard();
        return false;
    }

    KeyInjector m_injector;
    std::unique_ptr<FakeLoginManagerProcess> m_standIn;
};

void X11PowerKeysTest::startHoldsThePowerKeysAndStopLetsThemGo()
{
    startStandIn();
    KeyboardBlocker blocker;

    QVERIFY(blocker.start());
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(true));
    QCOMPARE(m_standIn->request(0), std::optional<QStringList>(kExpectedRequest));
    QVERIFY(blocker.isActive());

    blocker.stop();
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(1));
}

void X11PowerKeysTest::everyLockTakesItsOwnInhibitor()
{
    startStandIn();
    KeyboardBlocker blocker;
    QVERIFY(blocker.start());
    QVERIFY(blocker.start()); // already locked: nothing new
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(true));
    blocker.stop();
    QVERIFY(blocker.start());

    QTRY_COMPARE(m_standIn->isHeld(1), std::optional<bool>(true));
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
    blocker.stop();
    QTRY_COMPARE(m_standIn->heldCount(), std::optional<uint>(0));
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(2));
}

void X11PowerKeysTest::destroyingALockedBlockerLetsThePowerKeysGo()
{
    startStandIn();
    auto blocker = std::make_unique<KeyboardBlocker>();
    QVERIFY(blocker->start());
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(true));

    blocker.reset();
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void X11PowerKeysTest::refusedTapAsksForNothingAndHoldsNothing()
{
    startStandIn();
    QVERIFY(m_injector.grabKeyboard()); // another client keeps the keyboard
    KeyboardBlocker blocker;

    QVERIFY(!blocker.start());
    QTest::qWait(kSettleMs);
    m_injector.ungrabKeyboard();
    QCOMPARE(m_standIn->heldCount(), std::optional<uint>(0));
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(0));
}

void X11PowerKeysTest::lockWorksQuietlyWithoutALoginManager()
{
    OutputRecorder output;
    QVERIFY(output.isRecording());
    KeyboardBlocker blocker;

    QVERIFY(blocker.start());
    QTest::qWait(kSettleMs);
    QVERIFY(blocker.isActive());
    QVERIFY(keyboardIsGrabbed());
    blocker.stop();
    QVERIFY(!keyboardIsGrabbed());

    QCOMPARE(output.recorded(), QString());
}

void X11PowerKeysTest::lockWorksQuietlyWhenTheLoginManagerRefuses()
{
    startStandIn(QStringLiteral("refuse"));
    OutputRecorder output;
    QVERIFY(output.isRecording());
    KeyboardBlocker blocker;

    QVERIFY(blocker.start());
    QTRY_COMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    QTest::qWait(kSettleMs);
    QVERIFY(blocker.isActive());
    QVERIFY(keyboardIsGrabbed());
    QCOMPARE(m_standIn->heldCount(), std::optional<uint>(0));
    blocker.stop();
    QVERIFY(!keyboardIsGrabbed());

    QCOMPARE(output.recorded(), QString());
}

void X11PowerKeysTest::lockAndUnlockThroughTheWindowsTakeAndLetGoTheInhibitor()
{
    startStandIn();
    MainWindowController controller;
    controller.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(controller.window()));

    QTest::mouseClick(controller.lockButton()->button(), Qt::LeftButton);
    QVERIFY(controller.blocker().isActive());
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(true));
    QCOMPARE(m_standIn->request(0), std::optional<QStringList>(kExpectedRequest));

    GlassButton* unlock = nullptr;
    for (OverlayWindow* overlay : controller.overlays()) {
        if (overlay->isPrimaryDisplay())
            unlock = overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
    }
    QVERIFY(unlock);
    QTest::mouseClick(unlock->button(), Qt::LeftButton);
    QVERIFY(!controller.blocker().isActive());
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(1));
}

QTEST_MAIN(X11PowerKeysTest)
#include "X11PowerKeysTest.moc"
