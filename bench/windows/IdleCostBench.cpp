// SPDX-License-Identifier: GPL-3.0-or-later

// CPU and memory of the idle program: the real executable, started on the current X
// display with its main window up and the permission poll running, measured from
// /proc. Run under tests/support/with-xvfb.sh; argument: seconds to measure (60).
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

// utime + stime of the process, in clock ticks.
std::optional<long long> cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    return fields[11].toLongLong() + fields[12].toLongLong(); // fields 14 and 15 of stat
}

QByteArray statusField(qint64 pid, const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "IdleCostBench: no DISPLAY; run under with-xvfb.sh\n");
        return 1;
    }
    QProcess tavimo;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVIMO_SKIP_MOVE_PROMPT"), QStringLiteral("1"));
    tavimo.setProcessEnvironment(environment);
    tavimo.start(QStringLiteral(TAVIMO_EXECUTABLE), {});
    if (!tavimo.waitForStarted(5000)) {
        std::fprintf(stderr, "IdleCostBench: cannot start %s\n", TAVIMO_EXECUTABLE);
        return 1;
    }
    const qint64 pid = tavimo.processId();
    QThread::sleep(5); // past start-up

    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const auto before = cpuTicks(pid);
    const auto start = std::chrono::steady_clock::now();
    QThread::sleep(static_cast<unsigned long>(seconds));
    const auto after = cpuTicks(pid);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!before || !after || tavimo.state() != QProcess::Running) {
        std::fprintf(stderr, "IdleCostBench: the program ended early\n");
        return 1;
    }
    const double cpuSeconds = double(*after - *before) / double(ticksPerSecond);
    std::printf("idle program over %.1f s: %.3f s of CPU = %.3f %% of one core "
                "(resolution %.3f %%)\n",
                wall, cpuSeconds, 100.0 * cpuSeconds / wall, 100.0 / double(ticksPerSecond) / wall);
    std::printf("resident memory: VmRSS %s, VmHWM %s\n", statusField(pid, "VmRSS").constData(),
                statusField(pid, "VmHWM").constData());

    tavimo.terminate();
    if (!tavimo.waitForFinished(3000))
        tavimo.kill();
    return 0;
}
