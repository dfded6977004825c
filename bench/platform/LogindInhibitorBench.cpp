// SPDX-License-Identifier: GPL-3.0-or-later

// LogindInhibitor::acquire() and release() as the lock and unlock clicks pay for them,
// and how long the stand-in login manager takes to grant the lock. Run under
// tests/support/with-bus.sh --system; with DBUS_SYSTEM_BUS_ADDRESS naming no bus it
// measures the no-bus path instead.
#include "BenchStats.h"
#include "platform/linux/LogindInhibitor.h"
#include "support/FakeLoginManagerProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>

#include <cstdlib>

using platform::LogindInhibitor;
using Clock = std::chrono::steady_clock;

namespace {

// Runs the event loop until the inhibitor's reply has been handled.
bool waitForReply(LogindInhibitor& inhibitor)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (inhibitor.isWaitingForReply() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !inhibitor.isWaitingForReply();
}

// acquire(), wait for the answer, release(); `held` says which answer is expected.
bool measureRounds(int rounds, bool held, BenchStats& acquire, BenchStats& reply,
                   BenchStats& release)
{
    LogindInhibitor inhibitor;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        inhibitor.acquire();
        acquire.add(Clock::now() - t0);
        if (!waitForReply(inhibitor) || inhibitor.isHeld() != held)
            return false;
        reply.add(Clock::now() - t0);
        t0 = Clock::now();
        inhibitor.release();
        release.add(Clock::now() - t0);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 300;

    // The first acquire() opens the process's system bus connection.
    BenchStats firstAcquire;
    {
        LogindInhibitor inhibitor;
        const auto t0 = Clock::now();
        inhibitor.acquire();
        firstAcquire.add(Clock::now() - t0);
        waitForReply(inhibitor);
    }
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::printf("LogindInhibitor, %d rounds, DBUS_SYSTEM_BUS_ADDRESS=%s\n", rounds,
                address ? address : "(unset)");
    firstAcquire.print("first acquire() (opens the bus connection)");

    if (!QDBusConnection::systemBus().isConnected()) {
        BenchStats acquire, reply, release;
        if (!measureRounds(rounds, false, acquire, reply, release))
            return 1;
        acquire.print("acquire() without a system bus");
        release.print("release() without a system bus");
        return 0;
    }

    BenchStats acquire, reply, release;
    if (!measureRounds(rounds, false, acquire, reply, release)) {
        std::fprintf(stderr, "no-login-manager rounds failed\n");
        return 1;
    }
    acquire.print("acquire(), no login manager on the bus");
    reply.print("  ... until the error reply is handled");
    release.print("release(), nothing held");

    FakeLoginManagerProcess standIn;
    const QString problem = standIn.start();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "stand-in: %s\n", qPrintable(problem));
        return 1;
    }
    BenchStats grantedAcquire, granted, grantedRelease;
    if (!measureRounds(rounds, true, grantedAcquire, granted, grantedRelease)) {
        std::fprintf(stderr, "stand-in rounds failed\n");
        return 1;
    }
    grantedAcquire.print("acquire(), stand-in login manager");
    granted.print("  ... until the lock is held");
    grantedRelease.print("release() of a held lock");
    return 0;
}
