// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>

KeyClient::~KeyClient()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool KeyClient::start()
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        m_error = QStringLiteral("cannot open display '%1'").arg(qEnvironmentVariable("DISPLAY"));
        return false;
    }
    const Window window =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(m_display, window,
                 KeyPressMask | KeyReleaseMask | KeymapStateMask | StructureNotifyMask);
    XMapWindow(m_display, window);
    XEvent event;
    do {
        XNextEvent(m_display, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
    return true;
}

KeyClientState KeyClient::state()
{
    // XTest keys are delivered when their request is processed, and the server sends a
    // client its events before the reply to a later request: after XSync all are queued.
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        const unsigned code = event.xkey.keycode;
        if (event.type == KeyPress) {
            ++m_state.presses;
            m_down.insert(code);
        } else if (event.type == KeyRelease) {
            ++m_state.releases;
            if (!m_down.erase(code))
                ++m_state.loneReleases;
        } else if (event.type == KeymapNotify) {
            m_down.clear();
            for (unsigned key = 8; key < 256; ++key) {
                if (event.xkeymap.key_vector[key / 8] & (1 << (key % 8)))
                    m_down.insert(key);
            }
        }
    }
    m_state.keysDown = long(m_down.size());
    return m_state;
}

KeyInjector::KeyInjector() : m_display(XOpenDisplay(nullptr)) {}

KeyInjector::~KeyInjector()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void KeyInjector::send(const char* keysymName, bool down)
{
    const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysymName));
    XTestFakeKeyEvent(m_display, code, down, CurrentTime);
    XSync(m_display, False);
}

void KeyInjector::tap(const char* keysymName)
{
    press(keysymName);
    release(keysymName);
}

int KeyInjector::tapAll()
{
    for (const char* name : kStandardKeys)
        tap(name);
    return int(std::size(kStandardKeys));
}

bool KeyInjector::grabKeyboard()
{
    const int status = XGrabKeyboard(m_display, DefaultRootWindow(m_display), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    XSync(m_display, False);
    return status == GrabSuccess;
}

void KeyInjector::ungrabKeyboard()
{
    XUngrabKeyboard(m_display, CurrentTime);
    XSync(m_display, False);
}

QString KeyWatch::setUp()
{
    if (!keys.isConnected())
        return QStringLiteral("cannot reach the X display '%1'")
            .arg(qEnvironmentVariable("DISPLAY"));
    if (!client.start())
        return client.error();
    // A key missing from the keymap would never arrive: then "blocked" would prove nothing.
    return keysReach() ? QString() : QStringLiteral("injected keys do not reach the client");
}

// How many presses and how many releases of a full set of keys reach the client.
static std::pair<long, long> received(KeyWatch& watch)
{
    const KeyClientState before = watch.client.state();
    watch.keys.tapAll();
    const KeyClientState after = watch.client.state();
    return {after.presses - before.presses, after.releases - before.releases};
}

bool KeyWatch::keysReach()
{
    const long count = long(std::size(kStandardKeys));
    return received(*this) == std::pair{count, count};
}

bool KeyWatch::keysBlocked()
{
    return received(*this) == std::pair{0L, 0L};
}

void KeyInjector::setScreenSaverTimeout(int seconds)
{
    if (!m_display)
        return;
    XSetScreenSaver(m_display, seconds, 0, DontPreferBlanking, AllowExposures);
    XResetScreenSaver(m_display);
    XSync(m_display, False);
}

bool KeyInjector::screenSaverIsOn()
{
    XScreenSaverInfo info{};
    return m_display && XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), &info) &&
           info.state == ScreenSaverOn;
}
