// SPDX-License-Identifier: GPL-3.0-or-later

// The trust check the permission poll makes twice a second, with the keyboard-lock service
// backend: the cached CanLock answer, directly and through the Linux router, against one
// CanLock round trip to the stand-in service (what a check per poll would cost instead).
// Run under tests/support/with-bus.sh --system; it starts the stand-in service.
#include "BenchStats.h"
#include "platform/linux/KeyboardAccessRouter.h"
#include "support/FakeLockServiceProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>

#include <cstdlib>

using Clock = std::chrono::steady_clock;

namespace {

bool waitUntilTrusted(platform::KeyboardAccess& access)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!access.isProcessTrusted() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return access.isProcessTrusted();
}

bool measureChecks(platform::KeyboardAccess& access, int calls, const char* name)
{
    // The bare loop first: per-call clock reads cost more than the check itself.
    int trusted = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i)
        trusted += access.isProcessTrusted() ? 1 : 0;
    const double each = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / calls;
    BenchStats single;
    for (int i = 0; i < calls; ++i) {
        const auto t = Clock::now();
        trusted += access.isProcessTrusted() ? 1 : 0;
        single.add(Clock::now() - t);
    }
    single.print(name);
    std::printf("  %-44s mean %.1f ns per call in a bare loop\n", "", each);
    return trusted == 2 * calls;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::atoi(argv[1]) : 1000000;
    FakeLockServiceProcess service;
    if (const QString problem = service.start(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    platform::LockServiceKeyboardAccess direct;
    platform::KeyboardAccessRouter router;
    if (!waitUntilTrusted(direct) || !waitUntilTrusted(router)) {
        std::fprintf(stderr, "the stand-in service never said yes\n");
        return 1;
    }
    std::printf("Trust check with the keyboard-lock service, %d calls each\n", calls);
    if (!measureChecks(direct, calls, "LockServiceKeyboardAccess (cached)") ||
        !measureChecks(router, calls, "KeyboardAccessRouter -> service (cached)"))
        return 1;

    BenchStats roundTrip;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("app.tavimo.Tavimo.KeyboardLock"),
        QStringLiteral("/app/tavimo/Tavimo/KeyboardLock"),
        QStringLiteral("app.tavimo.Tavimo.KeyboardLock1"), QStringLiteral("CanLock"));
    for (int i = 0; i < 1000; ++i) {
        const auto t = Clock::now();
        if (QDBusConnection::systemBus().call(call).type() != QDBusMessage::ReplyMessage)
            return 1;
        roundTrip.add(Clock::now() - t);
    }
    roundTrip.print("one CanLock round trip (for comparison)");
    return 0;
}
