// SPDX-License-Identifier: GPL-3.0-or-later

// The keyboard-lock service's own costs, on a private system bus with stand-in polkit and
// login manager: a Lock() call until every keyboard is grabbed, with the service already
// running (lockd-fake-host, stand-in devices); the time from starting tavimo-lockd until
// it owns its name (about what an activation adds, without systemd's share); and the idle
// memory and CPU of tavimo-lockd itself and of the host.
// Run under tests/support/with-bus.sh --system.
//   LockServiceBench [locks] [keyboards]
#include "BenchStats.h"
#include "ProcessFigures.h"
#include "StandInLockService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <functional>

#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

const QString kService = StandInLockService::kService;

int grabbedCount()
{
    const QDBusMessage reply = StandInLockService::devices(QStringLiteral("GrabbedCount"));
    return reply.arguments().isEmpty() ? -1 : reply.arguments().first().toInt();
}

bool registered()
{
    return StandInLockService::registered();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        QThread::usleep(200);
    }
    return true;
}

// Kills the process and waits until its name has left the bus.
void stop(QProcess& process)
{
    process.kill();
    process.waitForFinished();
    waitFor([] { return !registered(); });
}

void printIdle(const char* name, pid_t pid)
{
    const double before = processfigures::cpuSeconds(pid);
    QThread::sleep(10);
    const double used = processfigures::cpuSeconds(pid) - before;
    std::printf("  %-44s VmRSS %ld kB   RssAnon %ld kB   CPU %.2f s in 10 s idle\n", name,
                processfigures::statusField(pid, "VmRSS:"),
                processfigures::statusField(pid, "RssAnon:"), used);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int locks = argc > 1 ? std::atoi(argv[1]) : 300;
    const int keyboards = argc > 2 ? std::atoi(argv[2]) : 6;
    StandInLockService service;
    if (const QString problem = service.startAuthorities(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }

    QProcess lockd;
    BenchStats start;
    for (int i = 0; i < 10; ++i) {
        const auto t = Clock::now();
        lockd.start(QStringLiteral(TAVIMO_LOCKD), {QStringLiteral("--idle-exit=0")});
        if (!waitFor(registered)) {
            std::fprintf(stderr, "tavimo-lockd never took its name\n");
            return 1;
        }
        start.add(Clock::now() - t);
        if (i < 9)
            stop(lockd);
    }
    std::printf("tavimo-lockd on a private system bus\n");
    start.printMillis("start until it owns its name");
    printIdle("idle, no devices, no lock", pid_t(lockd.processId()));
    stop(lockd);

    // No heartbeat here: the lock must outlast the wait for its end.
    if (const QString problem = service.startHost(
            QStringLiteral(TAVIMO_LOCKD_FAKE_HOST),
            {QStringLiteral("--idle-exit=0"), QStringLiteral("--heartbeat-timeout-ms=60000")},
            keyboards);
        !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    const QDBusMessage lock = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/app/tavimo/Tavimo/KeyboardLock"),
        QStringLiteral("app.tavimo.Tavimo.KeyboardLock1"), QStringLiteral("Lock"));
    BenchStats taken;
    for (int i = 0; i < locks; ++i) {
        {
            const auto t = Clock::now();
            const QDBusMessage reply = QDBusConnection::systemBus().call(lock, QDBus::Block, 5000);
            const auto elapsed = Clock::now() - t;
            // The reply comes once every keyboard is grabbed; count them to be sure.
            if (reply.type() != QDBusMessage::ReplyMessage || grabbedCount() != keyboards) {
                std::fprintf(stderr, "lock %d failed: %s\n", i, qPrintable(reply.errorMessage()));
                return 1;
            }
            taken.add(elapsed);
        } // the reply held the only copy of the descriptor: the lock ends
        if (!waitFor([] { return grabbedCount() == 0; })) {
            std::fprintf(stderr, "lock %d never ended\n", i);
            return 1;
        }
        QThread::msleep(2); // the service forgets the holder just after the last release
    }
    std::printf("Service running, %d stand-in keyboards and a mouse, polkit and logind asked\n",
                keyboards);
    taken.printMillis("Lock() until every keyboard is grabbed");
    printIdle("lockd-fake-host idle after the locks", pid_t(service.hostProcessId()));
    service.stopHost();
    return 0;
}
