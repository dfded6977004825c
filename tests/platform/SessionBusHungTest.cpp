// SPDX-License-Identifier: GPL-3.0-or-later

// A session bus that accepts the connection and never answers (a hung bus daemon) must hold
// up neither the launch nor the event loop: Tavimo then runs alone, in Qt's own palette.
#include "platform/DesktopPreferences.h"
#include "platform/linux/SessionInstance.h"
#include "support/OutputRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class SessionBusHungTest : public QObject {
    Q_OBJECT

private slots:
    void aHungSessionBusMeansRunningAloneWithoutStallingTheEventLoop()
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
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path);

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
        ::close(listener); // resets the connection still waiting in the backlog
        QCOMPARE(output.recorded(), QString());
    }
};

QTEST_GUILESS_MAIN(SessionBusHungTest)
#include "SessionBusHungTest.moc"
