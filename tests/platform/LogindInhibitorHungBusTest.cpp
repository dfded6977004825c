// The inhibitor when the system bus accepts a connection and then never answers, as a
// hung bus daemon does: opening the connection blocks for a minute, and neither the lock
// click nor the event loop may wait for it.
#include "platform/linux/LogindInhibitor.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using platform::LogindInhibitor;

class LogindInhibitorHungBusTest : public QObject {
    Q_OBJECT

private slots:
    // Before anything in the process opens the system bus.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QByteArray path = m_dir.filePath(QStringLiteral("system_bus_socket")).toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(std::size_t(path.size()) < sizeof address.sun_path);
        std::copy(path.begin(), path.end(), address.sun_path);
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(m_listener >= 0);
        // Listens but never accepts: the kernel completes the connection, nobody answers.
        QVERIFY(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(m_listener, 4) == 0);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path);
    }

    void acquireAndReleaseNeverWaitForTheBus()
    {
        OutputRecorder output;
        QVERIFY(output.isRecording());
        LogindInhibitor inhibitor;

        QElapsedTimer timer;
        timer.start();
        inhibitor.acquire();
        QCOMPARE_LT(timer.elapsed(), 50);
        // The event loop keeps running while the handshake hangs.
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 200);
        QTest::qWait(300);
        QVERIFY(inhibitor.isWaitingForReply());
        QVERIFY(!inhibitor.isHeld());

        timer.restart();
        inhibitor.release();
        inhibitor.acquire();
        inhibitor.release();
        QCOMPARE_LT(timer.elapsed(), 50);
        QCOMPARE(output.recorded(), QString());
    }

    void theWaitEndsQuietlyWhenTheBusGoesAway()
    {
        OutputRecorder output;
        QVERIFY(output.isRecording());
        LogindInhibitor inhibitor;
        inhibitor.acquire();
        QVERIFY(inhibitor.isWaitingForReply());

        ::close(m_listener); // resets the connection still waiting in the backlog
        m_listener = -1;
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.isWaitingForReply(), 10000);
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(output.recorded(), QString());
    }

    void cleanupTestCase()
    {
        if (m_listener >= 0)
            ::close(m_listener);
    }

private:
    QTemporaryDir m_dir;
    int m_listener = -1;
};

QTEST_GUILESS_MAIN(LogindInhibitorHungBusTest)
#include "LogindInhibitorHungBusTest.moc"
