// The inhibitor against a stand-in login manager on a private system bus
// (run under support/with-system-bus.sh).
#include "platform/linux/LogindInhibitor.h"
#include "support/FakeLoginManagerProcess.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using platform::LogindInhibitor;

namespace {

// Acquire and release run inside the click that locks or unlocks: well under a frame.
constexpr qint64 kFastMs = 50;

const QStringList kExpectedRequest = {
    QStringLiteral("handle-power-key:handle-suspend-key:handle-hibernate-key"),
    QStringLiteral("Tavimo"), QStringLiteral("Keyboard locked for cleaning"),
    QStringLiteral("block")};

qint64 millisecondsFor(const std::function<void()>& operation)
{
    QElapsedTimer timer;
    timer.start();
    operation();
    return timer.elapsed();
}

} // namespace

class LogindInhibitorTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_standIn = std::make_unique<FakeLoginManagerProcess>(); }
    void cleanup() { m_standIn.reset(); }

    // With a login manager that grants the lock.
    void acquireTakesTheLockForThePowerKeysInBlockMode();
    void releaseClosesTheDescriptorLogindWatches();
    void acquireAgainAfterReleaseAsksForANewLock();
    void destroyingTheInhibitorLetsTheLockGo();

    // With a login manager that answers slowly.
    void acquireAndReleaseReturnAtOnce();
    void releaseBeforeTheReplyClosesTheDescriptorWhenItArrives();
    void acquireAgainBeforeTheReplyKeepsTheLock();
    void destroyingTheInhibitorBeforeTheReplyLetsTheLockGo();

    // Without a lock to be had: quiet, nothing held.
    void noLoginManagerOnTheBusHoldsNothingQuietly();
    void refusedRequestHoldsNothingQuietly();

private:
    void startStandIn(const QString& behaviour = QStringLiteral("answer"), uint delayMs = 0)
    {
        const QString problem = m_standIn->start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(m_standIn->setBehaviour(behaviour, delayMs));
    }

    std::unique_ptr<FakeLoginManagerProcess> m_standIn;
};

void LogindInhibitorTest::acquireTakesTheLockForThePowerKeysInBlockMode()
{
    startStandIn();
    LogindInhibitor inhibitor;
    QSignalSpy changes(&inhibitor, &LogindInhibitor::stateChanged);
    QVERIFY(!inhibitor.isHeld());

    inhibitor.acquire();
    inhibitor.acquire(); // already wanted: no second request
    QVERIFY(inhibitor.isWaitingForReply());
    QTRY_VERIFY(inhibitor.isHeld());
    QVERIFY(!inhibitor.isWaitingForReply());
    QCOMPARE(changes.count(), 1);

    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    QCOMPARE(m_standIn->request(0), std::optional<QStringList>(kExpectedRequest));
    QCOMPARE(m_standIn->isHeld(0), std::optional<bool>(true));
    inhibitor.release();
}

void LogindInhibitorTest::releaseClosesTheDescriptorLogindWatches()
{
    startStandIn();
    LogindInhibitor inhibitor;
    inhibitor.acquire();
    QTRY_VERIFY(inhibitor.isHeld());
    QSignalSpy changes(&inhibitor, &LogindInhibitor::stateChanged);

    inhibitor.release();
    QVERIFY(!inhibitor.isHeld());
    QCOMPARE(changes.count(), 1);
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
    QCOMPARE(m_standIn->heldCount(), std::optional<uint>(0));

    inhibitor.release(); // nothing left to let go
    QCOMPARE(changes.count(), 1);
}

void LogindInhibitorTest::acquireAgainAfterReleaseAsksForANewLock()
{
    startStandIn();
    LogindInhibitor inhibitor;
    inhibitor.acquire();
    QTRY_VERIFY(inhibitor.isHeld());
    inhibitor.release();
    inhibitor.acquire();
    QTRY_VERIFY(inhibitor.isHeld());

    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(2));
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
    QCOMPARE(m_standIn->isHeld(1), std::optional<bool>(true));
    QCOMPARE(m_standIn->request(1), std::optional<QStringList>(kExpectedRequest));
}

void LogindInhibitorTest::destroyingTheInhibitorLetsTheLockGo()
{
    startStandIn();
    auto inhibitor = std::make_unique<LogindInhibitor>();
    inhibitor->acquire();
    QTRY_VERIFY(inhibitor->isHeld());
    QCOMPARE(m_standIn->isHeld(0), std::optional<bool>(true));

    inhibitor.reset();
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void LogindInhibitorTest::acquireAndReleaseReturnAtOnce()
{
    startStandIn(QStringLiteral("answer"), 1500);
    LogindInhibitor inhibitor;

    QCOMPARE_LT(millisecondsFor([&] { inhibitor.acquire(); }), kFastMs);
    QVERIFY(inhibitor.isWaitingForReply());
    QTRY_VERIFY_WITH_TIMEOUT(inhibitor.isHeld(), 5000);
    QCOMPARE_LT(millisecondsFor([&] { inhibitor.release(); }), kFastMs);
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void LogindInhibitorTest::releaseBeforeTheReplyClosesTheDescriptorWhenItArrives()
{
    startStandIn(QStringLiteral("answer"), 300);
    LogindInhibitor inhibitor;
    inhibitor.acquire();
    QTRY_COMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    inhibitor.release();
    QVERIFY(inhibitor.isWaitingForReply());

    QTRY_VERIFY(!inhibitor.isWaitingForReply());
    QVERIFY(!inhibitor.isHeld());
    QCOMPARE(m_standIn->isGranted(0), std::optional<bool>(true));
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void LogindInhibitorTest::acquireAgainBeforeTheReplyKeepsTheLock()
{
    startStandIn(QStringLiteral("answer"), 300);
    LogindInhibitor inhibitor;
    inhibitor.acquire();
    inhibitor.release();
    inhibitor.acquire();

    QTRY_VERIFY(inhibitor.isHeld());
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    QCOMPARE(m_standIn->isHeld(0), std::optional<bool>(true));
    inhibitor.release();
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void LogindInhibitorTest::destroyingTheInhibitorBeforeTheReplyLetsTheLockGo()
{
    startStandIn(QStringLiteral("answer"), 300);
    auto inhibitor = std::make_unique<LogindInhibitor>();
    inhibitor->acquire();
    QTRY_COMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    inhibitor.reset();

    QTRY_COMPARE(m_standIn->isGranted(0), std::optional<bool>(true));
    QTRY_COMPARE(m_standIn->isHeld(0), std::optional<bool>(false));
}

void LogindInhibitorTest::noLoginManagerOnTheBusHoldsNothingQuietly()
{
    OutputRecorder output;
    QVERIFY(output.isRecording());
    LogindInhibitor inhibitor;

    QCOMPARE_LT(millisecondsFor([&] { inhibitor.acquire(); }), kFastMs);
    QTRY_VERIFY(!inhibitor.isWaitingForReply());
    QVERIFY(!inhibitor.isHeld());
    QCOMPARE_LT(millisecondsFor([&] { inhibitor.release(); }), kFastMs);

    QCOMPARE(output.recorded(), QString());
}

void LogindInhibitorTest::refusedRequestHoldsNothingQuietly()
{
    startStandIn(QStringLiteral("refuse"));
    OutputRecorder output;
    QVERIFY(output.isRecording());
    LogindInhibitor inhibitor;
    QSignalSpy changes(&inhibitor, &LogindInhibitor::stateChanged);

    inhibitor.acquire();
    QTRY_VERIFY(!inhibitor.isWaitingForReply());
    QVERIFY(!inhibitor.isHeld());
    QCOMPARE(changes.count(), 1);
    QCOMPARE(m_standIn->requestCount(), std::optional<uint>(1));
    QCOMPARE(m_standIn->isGranted(0), std::optional<bool>(false));
    inhibitor.release();
    QVERIFY(!inhibitor.isHeld());

    QCOMPARE(output.recorded(), QString());
}

QTEST_GUILESS_MAIN(LogindInhibitorTest)
#include "LogindInhibitorTest.moc"
