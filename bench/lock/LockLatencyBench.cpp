// SPDX-License-Identifier: GPL-3.0-or-later

// start() and stop() of the keyboard blocker on the X server of $DISPLAY, side by side
// with a bare XOpenDisplay + XGrabKeyboard and XUngrabKeyboard + XCloseDisplay.
#include "BenchStats.h"
#include "lock/KeyboardBlocker.h"

#include <QCoreApplication>

#include <X11/Xlib.h>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 300;

    BenchStats bareGrab, bareRelease, start, stop;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        Display* display = XOpenDisplay(nullptr);
        if (!display || XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                      GrabModeAsync, CurrentTime) != GrabSuccess) {
            std::fprintf(stderr, "bare grab failed\n");
            return 1;
        }
        bareGrab.add(Clock::now() - t0);
        t0 = Clock::now();
        XUngrabKeyboard(display, CurrentTime);
        XCloseDisplay(display);
        bareRelease.add(Clock::now() - t0);

        KeyboardBlocker blocker;
        t0 = Clock::now();
        if (!blocker.start()) {
            std::fprintf(stderr, "start() failed\n");
            return 1;
        }
        start.add(Clock::now() - t0);
        QCoreApplication::processEvents();
        t0 = Clock::now();
        blocker.stop();
        stop.add(Clock::now() - t0);
    }

    std::printf("Lock latency on %s, %d rounds\n", std::getenv("DISPLAY"), rounds);
    bareGrab.print("bare XOpenDisplay + XGrabKeyboard");
    start.print("KeyboardBlocker::start()");
    bareRelease.print("bare XUngrabKeyboard + XCloseDisplay");
    stop.print("KeyboardBlocker::stop()");
    std::printf("  start() / bare grab: %.2fx (goal <= 2x)\n", start.median() / bareGrab.median());
    return 0;
}
