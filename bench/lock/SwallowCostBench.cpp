// SPDX-License-Identifier: GPL-3.0-or-later

// Cost per swallowed key event through the whole tap path (socket notifier, drain, key
// classification, the blocker's callback) against a bare XNextEvent drain of the same
// injected keys on a plain grabbing connection.
#include "BenchStats.h"
#include "lock/KeyboardBlocker.h"
#include "platform/x11/X11KeyboardAccess.h"

#include <QCoreApplication>

#include <memory>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

long g_seen = 0;
KeyboardBlocker* g_blocker = nullptr;

TapEvent* countingCallback(TapProxy* proxy, EventType type, TapEvent* event, void*)
{
    ++g_seen;
    return KeyboardBlocker::tapCallback(proxy, type, event, g_blocker);
}

// Presses and releases a mix of letters, modifiers and a volume key; returns once the
// server has processed every one.
void inject(Display* injector, int keys)
{
    static const char* names[] = {"a", "Shift_L", "Return", "XF86AudioRaiseVolume", "z"};
    for (int i = 0; i < keys; ++i) {
        const KeyCode code = XKeysymToKeycode(injector, XStringToKeysym(names[i % 5]));
        XTestFakeKeyEvent(injector, code, True, CurrentTime);
        XTestFakeKeyEvent(injector, code, False, CurrentTime);
    }
    XSync(injector, False);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int keys = 250; // 500 events per batch, well inside the socket buffers
    const int batches = argc > 1 ? std::atoi(argv[1]) : 200;
    Display* injector = XOpenDisplay(nullptr);
    if (!injector) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }

    BenchStats bare, ours;
    for (int batch = 0; batch < batches; ++batch) {
        // Bare: one grabbing connection, drained with XNextEvent.
        Display* display = XOpenDisplay(nullptr);
        XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync,
                      CurrentTime);
        XSync(display, True);
        inject(injector, keys);
        auto t0 = Clock::now();
        for (int read = 0; read < 2 * keys;) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == KeyPress || event.type == KeyRelease)
                ++read;
        }
        bare.add((Clock::now() - t0) / (2 * keys));
        XCloseDisplay(display);

        // Ours: the tap the blocker makes, served by the Qt event loop.
        X11KeyboardAccess access;
        KeyboardBlocker blocker;
        g_blocker = &blocker;
        auto tap =
            access.createTap(TapLocation::Session, TapPlacement::HeadInsert, TapOptions::Default,
                             KeyboardBlocker::kEventMask, &countingCallback, nullptr);
        auto source = access.createRunLoopSource(*tap);
        access.addToMainLoop(*source);
        QCoreApplication::processEvents(); // the grab's own focus events
        g_seen = 0;
        inject(injector, keys);
        t0 = Clock::now();
        while (g_seen < 2 * keys)
            QCoreApplication::processEvents();
        ours.add((Clock::now() - t0) / (2 * keys));
        access.enableTap(*tap, false);
        access.removeFromMainLoop(*source);
    }

    std::printf("Cost per swallowed key event on %s, %d batches of %d events\n",
                std::getenv("DISPLAY"), batches, 2 * keys);
    bare.print("bare XNextEvent drain");
    ours.print("tap: notifier + drain + classify + callback");
    std::printf("  ours / bare: %.2fx (goal <= 1.5x)\n", ours.median() / bare.median());
    XCloseDisplay(injector);
    return 0;
}
