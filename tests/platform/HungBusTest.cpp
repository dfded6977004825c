// SPDX-License-Identifier: GPL-3.0-or-later

// A bus that accepts the connection and never answers (a hung bus daemon) must hold up
// neither the launch, nor a lock, nor the event loop: opening the connection alone would
// block for a minute.
#include "platform/DesktopPreferences.h"
#include "platform/linux/LogindInhibitor.h"
#include "platform/linux/SessionInstance.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class HungBusTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_systemBus = -1;
    int m_sessionBus = -1;

    // Points `variable` at a socket that listens but never accepts: the kernel completes
    // the connection, nobody answers. Closing the listener resets what waits in its backlog.
    int hungBus(const char* variable, const QString& name)
    {
        const QByteArray path = m_dir.filePath(name).toLocal8Bit();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::copy(path.begin(), path.end(), address.sun_path);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 4) != 0)
            return -1;
        qputenv(variable, "unix:path=" + path);
        return listener;
    }

private slots:
    // Both at once: libdbus reads every bus address when the first connection is opened.
    void initTestCase()
    {
        m_systemBus = hungBus("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("system"));
        m_sessionBus = hungBus("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("session"));
        QVERIFY(m_systemBus >= 0 && m_sessionBus >= 0);
    }

    void aHungSystemBusHoldsUpNeitherTheLockNorTheEventLoop()
    {
        OutputRecorder output;
        platform::LogindInhibitor inhibitor;
        QElapsedTimer timer;
        timer.start();
        inhibitor.acquire();
        QCOMPARE_LT(timer.elapsed(), 50);
        QTest::qWait(300); // the event loop runs on while the handshake hangs
        QCOMPARE_LT(timer.elapsed(), 500);
        inhibitor.release();
        ::close(m_systemBus);
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.isWaitingForReply(), 10000);
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(output.recorded(), QString());
    }

    // Tavimo then runs alone, in Qt's own palette.
    void aHungSessionBusMeansRunningAloneWithoutStallingTheEventLoop()
    {
        OutputRecorder output;
        platform::SessionInstance instance(QStringLiteral("app.tavimo.Tavimo"));
        QSignalSpy decided(&instance, &platform::SessionInstance::decided);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(50);
        QElapsedTimer timer;
        timer.start();
        platform::desktopPreferences().follow();
        instance.claim({});
        QCOMPARE_LT(timer.elapsed(), 50);

        QVERIFY(decided.wait(platform::SessionInstance::kDecisionTimeoutMs + 1000));
        QCOMPARE(decided.first().first().value<platform::SessionInstance::Outcome>(),
                 platform::SessionInstance::Outcome::Alone);
        QCOMPARE_LT(timer.elapsed(), platform::SessionInstance::kDecisionTimeoutMs + 500);
        QCOMPARE_GT(ticks, platform::SessionInstance::kDecisionTimeoutMs / 50 / 2);
        QVERIFY(!platform::desktopPreferences().hasSettled());
        QCOMPARE(platform::desktopPreferences().colorScheme(), platform::ColorScheme::NoPreference);
        ::close(m_sessionBus);
        QCOMPARE(output.recorded(), QString());
    }
};

QTEST_GUILESS_MAIN(HungBusTest)
#include "HungBusTest.moc"
