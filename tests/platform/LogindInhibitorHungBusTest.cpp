// SPDX-License-Identifier: GPL-3.0-or-later

// A system bus that accepts the connection and never answers (a hung bus daemon) must
// not hold up a lock: opening the connection alone would block for a minute.
#include "platform/linux/LogindInhibitor.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class LogindInhibitorHungBusTest : public QObject {
    Q_OBJECT

private slots:
    void aHungBusHoldsUpNeitherTheLockNorTheEventLoop()
    {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath(QStringLiteral("bus")).toLocal8Bit();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::copy(path.begin(), path.end(), address.sun_path);
        // Listens but never accepts: the kernel completes the connection, nobody answers.
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(listener, 4) == 0);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path);

        OutputRecorder output;
        platform::LogindInhibitor inhibitor;
        QElapsedTimer timer;
        timer.start();
        inhibitor.acquire();
        QCOMPARE_LT(timer.elapsed(), 50);
        QTest::qWait(300); // the event loop runs on while the handshake hangs
        QCOMPARE_LT(timer.elapsed(), 500);
        inhibitor.release();
        ::close(listener); // resets the connection still waiting in the backlog
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.isWaitingForReply(), 10000);
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(output.recorded(), QString());
    }
};

QTEST_GUILESS_MAIN(LogindInhibitorHungBusTest)
#include "LogindInhibitorHungBusTest.moc"
