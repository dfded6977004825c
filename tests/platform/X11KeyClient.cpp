// A focused X client that counts the keys it receives, for the keyboard-lock tests.
// Prints "ready <window>" once it has the focus; on every ClientMessage carrying a
// number it prints "state <number> <presses> <releases> <lone releases> <keys down>".
// Keys down follow presses and releases, resynced from KeymapNotify as toolkits do.
#include <cstdio>
#include <set>

#include <X11/Xlib.h>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "X11KeyClient: cannot open display\n");
        return 1;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(display, window,
                 KeyPressMask | KeyReleaseMask | FocusChangeMask | KeymapStateMask |
                     StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event;;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    std::printf("ready %lu\n", window);
    std::fflush(stdout);

    long presses = 0, releases = 0, lone = 0;
    std::set<unsigned> down;
    for (XEvent event;;) {
        XNextEvent(display, &event);
        switch (event.type) {
        case KeyPress:
            ++presses;
            down.insert(event.xkey.keycode);
            break;
        case KeyRelease:
            ++releases;
            if (!down.erase(event.xkey.keycode))
                ++lone;
            break;
        case KeymapNotify:
            down.clear();
            for (unsigned code = 8; code < 256; ++code) {
                if (event.xkeymap.key_vector[code / 8] & (1 << (code % 8)))
                    down.insert(code);
            }
            break;
        case ClientMessage:
            std::printf("state %ld %ld %ld %ld %zu\n", event.xclient.data.l[0], presses, releases,
                        lone, down.size());
            std::fflush(stdout);
            break;
        default:
            break;
        }
    }
}
