// The inhibitor where no system bus can be reached: CTest runs this with
// DBUS_SYSTEM_BUS_ADDRESS naming a socket that does not exist, and with one that is
// not an address at all.
#include "platform/linux/LogindInhibitor.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using platform::LogindInhibitor;

class LogindInhibitorWithoutBusTest : public QObject {
    Q_OBJECT

private slots:
    void acquireReturnsAtOnceHoldsNothingAndStaysQuiet()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"),
                 "run with DBUS_SYSTEM_BUS_ADDRESS naming an unreachable bus");
        OutputRecorder output;
        QVERIFY(output.isRecording());
        LogindInhibitor inhibitor;

        QSignalSpy changes(&inhibitor, &LogindInhibitor::stateChanged);

        QElapsedTimer timer;
        timer.start();
        inhibitor.acquire();
        QCOMPARE_LT(timer.elapsed(), 50);
        QTRY_VERIFY(!inhibitor.isWaitingForReply());
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(changes.count(), 1);
        inhibitor.release();

        timer.restart();
        inhibitor.acquire(); // a second lock knows there is no bus
        QCOMPARE_LT(timer.elapsed(), 50);
        QVERIFY(!inhibitor.isWaitingForReply());
        QVERIFY(!inhibitor.isHeld());
        inhibitor.release();

        QCOMPARE(output.recorded(), QString());
    }
};

QTEST_GUILESS_MAIN(LogindInhibitorWithoutBusTest)
#include "LogindInhibitorWithoutBusTest.moc"
