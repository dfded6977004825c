// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"
#include "platform/linux/LogindInhibitor.h"

#include <QTimer>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

typedef struct _XDisplay Display;
union _XEvent;
class X11RunLoopSource;
class X11StallWatchdog;

// The X11 tap: an active grab of the whole keyboard on the root window, held on an
// Xlib connection of its own. Closing that connection (destroying the tap, or the
// process dying) is what finally gives the keyboard back.
//
// The power, suspend and hibernate keys never reach X clients (logind reads them from
// the devices), so the tap also holds a logind inhibitor lock for as long as it exists.
//
// Every grabbed key event is handed to the callback with the type its mask names. The
// callback's return value is ignored: an X grab cannot pass an event on, so every
// grabbed event is swallowed whatever the callback answers.
class X11Tap final : public platform::EventTap {
public:
    // Holds the grab on return; nullptr when there is no display or the keyboard cannot
    // be grabbed within the retry window (another client keeps it), with the reason in
    // `refusal`.
    static std::unique_ptr<X11Tap> create(platform::EventMask mask, platform::TapCallback callback,
                                          void* context, platform::TapRefusal& refusal);
    ~X11Tap() override;

    // Grabs (or releases) the keyboard. A grab refused on re-enable is retried in the
    // background for as long as the tap stays enabled.
    void setEnabled(bool enable);
    bool isEnabled() const { return m_enabled; }
    bool holdsGrab() const;

    int connectionFd() const;
    // Hands every event waiting on the connection to the callback. Main thread.
    void drainEvents();
    // One source at a time; a newer one replaces (and detaches) the older.
    void attachSource(X11RunLoopSource* source);
    void detachSource(X11RunLoopSource* source);

    // Waits before grabbing and before letting go, until no key is down, so that no
    // other program is left with a key it saw go down but never up (or the reverse).
    static constexpr std::chrono::milliseconds kKeysUpWait{250};
    // A grab another client holds only for a moment (an open menu, a window manager's
    // shortcut) is retried this long; with kKeysUpWait the attempt stays near half a second.
    static constexpr std::chrono::milliseconds kGrabRetryWindow{300};
    // How long the main thread may leave key events unread before the keyboard is given
    // back by the watchdog thread.
    static constexpr std::chrono::milliseconds kStallBound{2000};

private:
    X11Tap(Display* display, platform::EventMask mask, platform::TapCallback callback,
           void* context);

    bool grab();
    bool tryGrabOnce();
    void ungrab();
    void releaseForStall(); // watchdog thread
    void waitForKeysUp();
    void handle(_XEvent& event);
    platform::EventType typeOfKey(_XEvent& event);
    void notify(platform::EventType type);
    void scheduleDrainIfQueued();

    Display* const m_display;
    const unsigned long m_root;
    const platform::EventMask m_mask;
    const platform::TapCallback m_callback;
    void* const m_context;

    bool m_enabled = true;
    // Guards the grab between the main thread and the watchdog thread.
    mutable std::mutex m_grabMutex;
    bool m_grabbed = false;
    unsigned long m_grabSerial = 0; // request number of the grab now held
    std::atomic<bool> m_releasedForStall{false};
    // The type of each keycode's press (key down, modifier or special key), looked up
    // once: a keysym lookup takes the display lock on every key otherwise. Zero means not
    // looked up yet; a keyboard mapping change clears it.
    std::array<std::uint8_t, 256> m_pressTypeByKeycode{};

    QTimer m_regrabTimer;
    platform::LogindInhibitor m_inhibitor;
    X11RunLoopSource* m_source = nullptr;
    std::unique_ptr<X11StallWatchdog> m_watchdog;
};
