// SPDX-License-Identifier: GPL-3.0-or-later

// The cost of one trust check, which the permission poll makes twice a second.
#include "BenchStats.h"
#include "platform/x11/X11KeyboardAccess.h"

#include <chrono>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 100000;
    platform::X11KeyboardAccess access;
    if (!access.isProcessTrusted()) {
        std::fprintf(stderr, "not trusted: no reachable X11 display\n");
        return 1;
    }
    BenchStats single;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        const auto t = Clock::now();
        if (!access.isProcessTrusted())
            return 1;
        single.add(Clock::now() - t);
    }
    const double each = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / calls;
    std::printf("Trust check on %s, %d calls\n", std::getenv("DISPLAY"), calls);
    single.print("X11KeyboardAccess::isProcessTrusted()");
    std::printf("  mean %.0f ns per call (first call, which connects, excluded)\n", each);
    return 0;
}
