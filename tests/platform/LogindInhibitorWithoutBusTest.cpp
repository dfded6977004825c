// The inhibitor where no system bus answers. CTest runs this with DBUS_SYSTEM_BUS_ADDRESS
// naming a socket that does not exist, with one that is not an address at all, and with
// "hung": then a socket that accepts the connection but never answers, as a hung bus
// daemon does (opening the connection would block for a minute).
#include "platform/linux/LogindInhibitor.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using platform::LogindInhibitor;

class LogindInhibitorWithoutBusTest : public QObject {
    Q_OBJECT

private slots:
    void neitherLockNorEventLoopWaitsAndNothingIsHeldQuietly()
    {
        const bool hung = qgetenv("DBUS_SYSTEM_BUS_ADDRESS") == "hung";
        QVERIFY2(!qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"),
                 "run with DBUS_SYSTEM_BUS_ADDRESS naming an unreachable bus");
        QTemporaryDir dir;
        int listener = -1;
        if (hung) {
            listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const QByteArray path = dir.filePath(QStringLiteral("bus")).toLocal8Bit();
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::copy(path.begin(), path.end(), address.sun_path);
            // Listens but never accepts: the kernel completes the connection, nobody answers.
            QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
            QVERIFY(::listen(listener, 4) == 0);
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path);
        }
        OutputRecorder output;
        QVERIFY(output.isRecording());
        LogindInhibitor inhibitor;
        QSignalSpy changes(&inhibitor, &LogindInhibitor::stateChanged);

        QElapsedTimer timer;
        timer.start();
        inhibitor.acquire();
        QCOMPARE_LT(timer.elapsed(), 50);
        if (hung) {
            QTest::qWait(300); // the event loop runs on while the handshake hangs
            QCOMPARE_LT(timer.elapsed(), 500);
            QVERIFY(inhibitor.isWaitingForReply());
            timer.restart();
            inhibitor.release();
            inhibitor.acquire();
            QCOMPARE_LT(timer.elapsed(), 50);
            ::close(listener); // resets the connection still waiting in the backlog
        }
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.isWaitingForReply(), 10000);
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(changes.count(), 1);
        inhibitor.release();

        timer.restart();
        inhibitor.acquire(); // a second lock knows there is no bus
        QCOMPARE_LT(timer.elapsed(), 50);
        QVERIFY(!inhibitor.isWaitingForReply() && !inhibitor.isHeld());
        inhibitor.release();
        QCOMPARE(output.recorded(), QString());
    }
};

QTEST_GUILESS_MAIN(LogindInhibitorWithoutBusTest)
#include "LogindInhibitorWithoutBusTest.moc"
