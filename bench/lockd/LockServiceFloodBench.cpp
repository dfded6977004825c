// SPDX-License-Identifier: GPL-3.0-or-later

// The keyboard-lock service under attack, on a private system bus with stand-in polkit and
// login manager and the service with stand-in devices (lockd-fake-host):
//  - strangers: `connections` processes of the user nobody, each sending `calls` Lock()
//    calls that expect no reply (which the bus daemon does not count against its limit of
//    pending replies); the service's memory and an allowed caller's Lock() time meanwhile;
//  - a lock holder writing to its descriptor as fast as it can: the service's CPU.
// Run as root under tests/support/with-bus.sh --system.
//   LockServiceFloodBench [connections] [calls] [--host=PATH]
#include "BenchStats.h"
#include "ProcessFigures.h"
#include "StandInLockService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

const QString kService = StandInLockService::kService;

// The stranger: drops to nobody, connects, sends its calls without waiting for replies and
// stays connected a while, as an attacker's processes would.
int flood(int calls)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
        std::fprintf(stderr, "flood: cannot become nobody\n");
        return 1;
    }
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        std::fprintf(stderr, "flood: cannot connect\n");
        return 1;
    }
    for (int i = 0; i < calls; ++i) {
        sd_bus_message* call = nullptr;
        if (sd_bus_message_new_method_call(bus, &call, "app.tavimo.Tavimo.KeyboardLock",
                                           "/app/tavimo/Tavimo/KeyboardLock",
                                           "app.tavimo.Tavimo.KeyboardLock1", "Lock") < 0)
            break;
        sd_bus_message_set_expect_reply(call, 0);
        sd_bus_send(bus, call, nullptr);
        sd_bus_message_unref(call);
    }
    sd_bus_flush(bus);
    ::sleep(4);
    sd_bus_flush_close_unref(bus);
    return 0;
}

// An allowed caller's Lock(), until it holds the lock; the lock is let go at once.
struct Locked {
    double ms = 0;
    QString error;
};
Locked lockOnce()
{
    const auto start = Clock::now();
    double ms = 0;
    QString error;
    {
        const QDBusMessage reply = QDBusConnection::systemBus().call(
            QDBusMessage::createMethodCall(
                kService, QStringLiteral("/app/tavimo/Tavimo/KeyboardLock"),
                QStringLiteral("app.tavimo.Tavimo.KeyboardLock1"), QStringLiteral("Lock")),
            QDBus::Block, 60000);
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (reply.type() != QDBusMessage::ReplyMessage)
            error = reply.errorName();
    }
    // Closing the only copy ends the lock; wait until the keyboards are free again.
    for (int i = 0;
         i < 500 &&
         StandInLockService::devices(QStringLiteral("GrabbedCount")).arguments().value(0) != 0;
         ++i)
        QThread::msleep(5);
    return {ms, error};
}

void printLatencies(const char* what, std::vector<double> ms, int errors, const QString& error)
{
    std::sort(ms.begin(), ms.end());
    if (ms.empty())
        return;
    std::printf("  %-40s n=%zu median %.1f ms, max %.1f ms, errors %d%s%s\n", what, ms.size(),
                ms[ms.size() / 2], ms.back(), errors, errors ? " e.g. " : "",
                errors ? qPrintable(error) : "");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--flood") == 0)
        return flood(std::atoi(argv[2]));
    QCoreApplication app(argc, argv);
    int connections = 8;
    int calls = 5000;
    QString hostPath = QStringLiteral(TAVIMO_LOCKD_FAKE_HOST);
    int position = 0;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1String("--host=")))
            hostPath = argument.mid(7);
        else if (position++ == 0)
            connections = argument.toInt();
        else
            calls = argument.toInt();
    }
    // The bus's socket is in a folder of root's: let nobody reach it.
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    const QString socket = address.section(QStringLiteral("unix:path="), 1).section(',', 0, 0);
    if (::getuid() != 0 || socket.isEmpty() ||
        ::chmod(QFile::encodeName(QFileInfo(socket).absolutePath()).constData(), 0755) != 0) {
        std::fprintf(stderr, "run as root under with-bus.sh --system\n");
        return 1;
    }
    StandInLockService service;
    QString problem = service.startAuthorities();
    if (problem.isEmpty())
        problem = service.startHost(hostPath, {QStringLiteral("--heartbeat-timeout-ms=60000")}, 1);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    const qint64 pid = service.hostProcessId();

    std::printf("%s, %d connections of nobody x %d Lock() calls expecting no reply\n",
                qPrintable(QFileInfo(hostPath).absoluteFilePath()), connections, calls);
    std::vector<double> quiet;
    for (int i = 0; i < 10; ++i)
        quiet.push_back(lockOnce().ms);
    std::printf("  RSS before: %ld kB\n", processfigures::statusField(pid, "VmRSS:"));
    printLatencies("allowed caller's Lock(), quiet", quiet, 0, {});

    std::vector<std::unique_ptr<QProcess>> strangers;
    for (int i = 0; i < connections; ++i) {
        strangers.push_back(std::make_unique<QProcess>());
        strangers.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        strangers.back()->start(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--flood"), QString::number(calls)});
    }
    std::vector<double> during;
    int errors = 0;
    QString error;
    long peak = 0;
    QElapsedTimer flooding;
    flooding.start();
    while (flooding.elapsed() < 8000) {
        const Locked locked = lockOnce();
        during.push_back(locked.ms);
        if (!locked.error.isEmpty()) {
            ++errors;
            error = locked.error;
        }
        peak = std::max(peak, processfigures::statusField(pid, "VmRSS:"));
        QThread::msleep(100);
    }
    for (auto& stranger : strangers)
        stranger->waitForFinished(30000);
    printLatencies("allowed caller's Lock(), during the flood", during, errors, error);
    std::printf("  RSS peak during the flood: %ld kB\n", peak);
    QThread::sleep(2);
    std::printf("  RSS after the strangers left: %ld kB\n",
                processfigures::statusField(pid, "VmRSS:"));

    // The holder writes as fast as it can for 8 s.
    const QDBusMessage reply = QDBusConnection::systemBus().call(
        QDBusMessage::createMethodCall(kService, QStringLiteral("/app/tavimo/Tavimo/KeyboardLock"),
                                       QStringLiteral("app.tavimo.Tavimo.KeyboardLock1"),
                                       QStringLiteral("Lock")),
        QDBus::Block, 60000);
    const QDBusUnixFileDescriptor fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
    if (!fd.isValid()) {
        std::fprintf(stderr, "no lock for the holder: %s\n", qPrintable(reply.errorName()));
        return 1;
    }
    const double cpuBefore = processfigures::cpuSeconds(pid);
    long written = 0;
    const auto end = Clock::now() + std::chrono::seconds(8);
    while (Clock::now() < end) {
        pollfd writable{fd.fileDescriptor(), POLLOUT, 0};
        if (::poll(&writable, 1, 100) == 1 &&
            ::send(fd.fileDescriptor(), "b", 1, MSG_DONTWAIT | MSG_NOSIGNAL) == 1)
            ++written;
    }
    std::printf("  holder writing as fast as it can for 8 s: %ld packets taken, service CPU "
                "%.2f s (%.0f %%)\n",
                written, processfigures::cpuSeconds(pid) - cpuBefore,
                (processfigures::cpuSeconds(pid) - cpuBefore) / 8 * 100);
    return 0;
}
