#pragma once

#include <QProcess>
#include <QString>

#include <chrono>

typedef struct _XDisplay Display;

// What the focused client has received so far.
struct KeyClientState {
    long presses = 0;
    long releases = 0;
    long loneReleases = 0; // releases of keys it never saw go down
    long keysDown = 0;     // keys it believes are still down
};

// The focused client (X11KeyClient) in a process of its own.
class KeyClient {
public:
    ~KeyClient();
    // False (with a reason in error()) when it could not start or take the focus.
    bool start();
    QString error() const { return m_error; }
    // What the client has received up to now: every key injected before the call is
    // counted. Blocks without running the event loop.
    KeyClientState state();

private:
    QProcess m_process;
    Display* m_display = nullptr;
    unsigned long m_window = 0;
    long m_sequence = 0;
    QString m_error;
};

// Injects keys through XTest and plays "another client" holding the keyboard, on an Xlib
// connection of its own.
class KeyInjector {
public:
    KeyInjector();
    ~KeyInjector();
    bool isConnected() const { return m_display != nullptr; }

    // Whether the keymap has a key for the keysym; the others must not be injected.
    bool hasKey(const char* keysymName) const;
    // Press and release; returns once the server has processed both.
    void tap(const char* keysymName);
    void press(const char* keysymName);
    void release(const char* keysymName);
    // Presses each key of the list in turn, with modifiers held as on a keyboard.
    int tapAll(); // the standard set; returns how many presses it made

    bool grabKeyboard();
    void ungrabKeyboard();

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
