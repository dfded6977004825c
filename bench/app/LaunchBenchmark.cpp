// SPDX-License-Identifier: GPL-3.0-or-later

// Launch to main window on screen: from starting the process to the X server mapping
// Tavimo's main window, measured from outside as a window manager would see it.
// Runs on the current X display (use tests/support/with-xvfb.sh for a private one).
//   tavimo_launch_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

long windowPid(Display* display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    const Atom property = XInternAtom(display, "_NET_WM_PID", False);
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

bool isNormalWindow(Display* display, Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && !attributes.override_redirect &&
           attributes.width > 1 && attributes.height > 1;
}

// The next event within `timeoutMs`, or nothing.
std::optional<XEvent> nextEvent(Display* display, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (XPending(display) == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
    XEvent event;
    XNextEvent(display, &event);
    return event;
}

void requestClose(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// One launch: milliseconds until the main window was mapped, or a negative number.
double launchOnce(Display* display, const char* program)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);

    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program);
        return -1;
    }
    double elapsed = -1;
    Window main = 0;
    while (std::optional<XEvent> event = nextEvent(display, 10000)) {
        if (event->type != MapNotify)
            continue;
        const Clock::time_point mapped = Clock::now();
        const Window window = event->xmap.window;
        if (windowPid(display, window) == pid && isNormalWindow(display, window)) {
            elapsed = std::chrono::duration<double, std::milli>(mapped - start).count();
            main = window;
            break;
        }
    }
    if (main)
        requestClose(display, main);
    else
        kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (main && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        std::fprintf(stderr, "tavimo did not exit cleanly after its window was closed\n");
    return elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display: run under tests/support/with-xvfb.sh\n");
        return 1;
    }
    setenv("TAVIMO_SKIP_MOVE_PROMPT", "1", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    // The first launch fills the disk cache; it is not counted.
    launchOnce(display, TAVIMO_EXECUTABLE);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = launchOnce(display, TAVIMO_EXECUTABLE);
        if (ms < 0) {
            std::fprintf(stderr, "run %d: the main window never appeared\n", i + 1);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    if (std::getenv("TAVIMO_BENCH_VERBOSE")) {
        for (double ms : times)
            std::printf("%.1f ", ms);
        std::printf("\n");
    }
    const auto at = [&](double q) {
        return times[static_cast<size_t>(q * (times.size() - 1))];
    };
    std::printf("launch to main window mapped, %d runs: median %.1f ms, min %.1f, p90 %.1f, "
                "max %.1f (goal: under 300 ms)\n",
                runs, at(0.5), times.front(), at(0.9), times.back());
    XCloseDisplay(display);
    return at(0.5) < 300 ? 0 : 2;
}
