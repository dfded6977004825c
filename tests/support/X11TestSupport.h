// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <set>

typedef struct _XDisplay Display;

// What the focused client has received so far.
struct KeyClientState {
    long presses = 0;
    long releases = 0;
    long loneReleases = 0; // releases of keys it never saw go down
    long keysDown = 0;     // keys it believes are still down
};

// A separate X client (a connection of its own) with a focused window, counting the keys
// it receives. Keys down follow presses and releases, resynced from KeymapNotify as
// toolkits do.
class KeyClient {
public:
    ~KeyClient();
    // False (with a reason in error()) when it could not reach X or take the focus.
    bool start();
    QString error() const { return m_error; }
    // What the client has received up to now: every key injected before the call is
    // counted. Blocks without running the event loop.
    KeyClientState state();

private:
    Display* m_display = nullptr;
    KeyClientState m_state;
    std::set<unsigned> m_down;
    QString m_error;
};

// Injects keys through XTest and plays "another client" holding the keyboard, on an Xlib
// connection of its own. Each call returns once the server has processed it.
class KeyInjector {
public:
    KeyInjector();
    ~KeyInjector();
    bool isConnected() const { return m_display != nullptr; }

    void tap(const char* keysymName);
    void press(const char* keysymName) { send(keysymName, true); }
    void release(const char* keysymName) { send(keysymName, false); }
    // Taps every key of kStandardKeys in turn; returns how many.
    int tapAll();

    bool grabKeyboard();
    void ungrabKeyboard();
    // Starts the X server's screen saver after that many idle seconds.
    void setScreenSaverTimeout(int seconds);
    // Whether the X server's screen saver is on now.
    bool screenSaverIsOn();

private:
    void send(const char* keysymName, bool down);
    Display* m_display = nullptr;
};

// Keys of every kind: letters, modifiers, Escape, Return and a volume key.
inline constexpr const char* kStandardKeys[] = {
    "a",         "z",      "Shift_L",
    "Control_L", "Alt_L",  "Super_L",
    "Escape",    "Return", "XF86AudioRaiseVolume",
};

// A focused client and an injector: does a full set of keys reach it or not?
struct KeyWatch {
    KeyClient client;
    KeyInjector keys;

    // Empty once both are ready and injected keys reach the client; else the reason.
    QString setUp();
    bool keysReach();   // every key, press and release
    bool keysBlocked(); // none
};
