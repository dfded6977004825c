// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11Tap.h"

#include "platform/x11/X11KeyClassifier.h"
#include "platform/x11/X11RunLoopSource.h"
#include "platform/x11/X11StallWatchdog.h"

#include <thread>

namespace {
// Named before Xlib, which defines None as a macro.
constexpr platform::TapRefusal kNotRefused = platform::TapRefusal::None;
} // namespace

#include <X11/Xlib.h>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::chrono::milliseconds kKeysUpPoll{5};
constexpr std::chrono::milliseconds kGrabRetryPause{10};
constexpr std::chrono::milliseconds kRegrabInterval{100};

bool anyKeyDown(Display* display)
{
    char keys[32];
    XQueryKeymap(display, keys);
    for (char byte : keys) {
        if (byte)
            return true;
    }
    return false;
}

} // namespace

std::unique_ptr<X11Tap> X11Tap::create(EventMask mask, TapCallback callback, void* context,
                                       TapRefusal& refusal)
{
    refusal = TapRefusal::Failed;
    // The watchdog releases the grab from a thread of its own. libX11 1.8 initialises
    // its locks by itself; asking again is harmless and guards older libraries.
    if (!XInitThreads())
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<X11Tap> tap(new X11Tap(display, mask, callback, context));
    if (!tap->grab()) {
        // AlreadyGrabbed or GrabFrozen: on the root window nothing else refuses a grab.
        refusal = TapRefusal::KeyboardHeldElsewhere;
        return nullptr;
    }
    refusal = kNotRefused;
    tap->m_inhibitor.acquire();
    return tap;
}

X11Tap::X11Tap(Display* display, EventMask mask, TapCallback callback, void* context)
    : m_display(display), m_root(DefaultRootWindow(display)), m_mask(mask), m_callback(callback),
      m_context(context)
{
    // The platform taking our grab away shows as a FocusOut (NotifyUngrab) on the root.
    XSelectInput(m_display, m_root, FocusChangeMask);
    m_regrabTimer.setInterval(kRegrabInterval);
    QObject::connect(&m_regrabTimer, &QTimer::timeout, &m_regrabTimer, [this] {
        if (!m_enabled || holdsGrab() || tryGrabOnce())
            m_regrabTimer.stop();
    });
    m_watchdog = std::make_unique<X11StallWatchdog>(ConnectionNumber(m_display), kStallBound,
                                                    [this] { releaseForStall(); });
}

X11Tap::~X11Tap()
{
    m_enabled = false;
    m_watchdog.reset();
    if (holdsGrab())
        ungrab();
    if (m_source)
        m_source->tapGone();
    // Closing the connection also drops a grab should one still be held.
    XCloseDisplay(m_display);
}

int X11Tap::connectionFd() const
{
    return ConnectionNumber(m_display);
}

void X11Tap::attachSource(X11RunLoopSource* source)
{
    if (m_source && m_source != source)
        m_source->tapGone();
    m_source = source;
}

void X11Tap::detachSource(X11RunLoopSource* source)
{
    if (m_source == source)
        m_source = nullptr;
}

bool X11Tap::holdsGrab() const
{
    std::lock_guard lock(m_grabMutex);
    return m_grabbed;
}

void X11Tap::setEnabled(bool enable)
{
    m_enabled = enable;
    if (!enable) {
        m_regrabTimer.stop();
        m_releasedForStall = false;
        if (holdsGrab())
            ungrab();
        return;
    }
    if (!holdsGrab() && !grab())
        m_regrabTimer.start();
}

void X11Tap::waitForKeysUp()
{
    // Bounded: a key held past the wait (a finger resting on it) must not stop the lock.
    // Clients that missed its release resync from the KeymapNotify X sends after FocusIn.
    const auto deadline = Clock::now() + kKeysUpWait;
    while (anyKeyDown(m_display) && Clock::now() < deadline)
        std::this_thread::sleep_for(kKeysUpPoll);
}

bool X11Tap::tryGrabOnce()
{
    bool grabbed = false;
    {
        std::lock_guard lock(m_grabMutex);
        const unsigned long serial = NextRequest(m_display);
        grabbed = XGrabKeyboard(m_display, m_root, False, GrabModeAsync, GrabModeAsync,
                                CurrentTime) == GrabSuccess;
        if (grabbed) {
            m_grabbed = true;
            m_grabSerial = serial;
        }
    }
    if (grabbed)
        scheduleDrainIfQueued();
    return grabbed;
}

bool X11Tap::grab()
{
    waitForKeysUp();
    const auto deadline = Clock::now() + kGrabRetryWindow;
    while (!tryGrabOnce()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kGrabRetryPause);
    }
    return true;
}

void X11Tap::ungrab()
{
    waitForKeysUp();
    std::lock_guard lock(m_grabMutex);
    if (!m_grabbed)
        return;
    XUngrabKeyboard(m_display, CurrentTime);
    m_grabbed = false;
    // Drop what the grab collected but nobody read: it was swallowed, and is never
    // handed on later. This also drops the FocusOut our own ungrab produces.
    XSync(m_display, True);
}

void X11Tap::releaseForStall()
{
    std::lock_guard lock(m_grabMutex);
    if (!m_grabbed)
        return;
    XUngrabKeyboard(m_display, CurrentTime);
    XFlush(m_display);
    m_grabbed = false;
    m_releasedForStall = true;
}

void X11Tap::scheduleDrainIfQueued()
{
    // Xlib may have read events into its queue during a round trip; the socket then
    // stays quiet and the run-loop source would not wake for them.
    if (m_source && XEventsQueued(m_display, QueuedAlready) > 0)
        m_source->scheduleDrain();
}

void X11Tap::drainEvents()
{
    for (;;) {
        m_watchdog->noteProgress();
        if (m_releasedForStall.load(std::memory_order_relaxed) &&
            m_releasedForStall.exchange(false)) {
            // Whatever was queued before the watchdog let go was swallowed; hand none of
            // it on late.
            XSync(m_display, True);
            if (m_enabled)
                notify(kEventTapDisabledByTimeout);
            continue;
        }
        // Events already queued need no trip through the display lock; only this thread
        // takes events off the queue, so a non-empty queue stays non-empty.
        if (QLength(m_display) == 0 && XPending(m_display) == 0)
            return;
        XEvent event;
        XNextEvent(m_display, &event);
        handle(event);
    }
}

void X11Tap::handle(XEvent& event)
{
    switch (event.type) {
    case KeyPress:
    case KeyRelease: {
        if (!m_enabled)
            return;
        const EventType type = typeOfKey(event);
        if (m_mask & eventMaskBit(type))
            m_callback(nullptr, type, reinterpret_cast<TapEvent*>(&event), m_context);
        return;
    }
    case FocusOut: {
        if (event.xfocus.window != m_root || event.xfocus.mode != NotifyUngrab)
            return;
        {
            std::lock_guard lock(m_grabMutex);
            // Our own ungrab clears m_grabbed first, and an ungrab older than the grab
            // we hold now is not about it: neither is a switch-off.
            if (!m_grabbed || event.xfocus.serial < m_grabSerial)
                return;
            m_grabbed = false;
        }
        if (m_enabled)
            notify(kEventTapDisabledByUserInput);
        return;
    }
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        m_pressTypeByKeycode.fill(0);
        return;
    default:
        return;
    }
}

EventType X11Tap::typeOfKey(XEvent& event)
{
    std::uint8_t& pressType = m_pressTypeByKeycode[event.xkey.keycode & 0xFF];
    if (pressType == 0)
        pressType = std::uint8_t(X11KeyClassifier::typeOf(true, XLookupKeysym(&event.xkey, 0)));
    if (event.type == KeyRelease && pressType == kEventKeyDown)
        return kEventKeyUp;
    return pressType;
}

void X11Tap::notify(EventType type)
{
    m_callback(nullptr, type, nullptr, m_context);
}
