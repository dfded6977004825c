// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>

// The keyboard tap and the keyboard-access checks, shaped after the calls a Mac
// event tap needs, so that the lock engine reads the same on every platform.
namespace platform {

using EventType = std::uint32_t;
using EventMask = std::uint64_t;

// Bit n of an event mask selects event type n.
inline constexpr EventType kEventKeyDown = 10;
inline constexpr EventType kEventKeyUp = 11;
inline constexpr EventType kEventFlagsChanged = 12;  // a modifier key went down or up
inline constexpr EventType kEventSystemDefined = 14; // media, volume, brightness, power, eject…

// Sent to a tap callback, whatever its mask, when the platform has switched the tap off.
inline constexpr EventType kEventTapDisabledByTimeout = 0xFFFFFFFEu;
inline constexpr EventType kEventTapDisabledByUserInput = 0xFFFFFFFFu;
// Sent once, with no event, when the platform has ended the lock for good: the keyboard is
// free again and enabling the tap cannot take it back. Delivered from the main loop, never
// from inside a call of the tap's owner, so the owner may destroy the tap in the callback.
inline constexpr EventType kEventTapEndedByPlatform = 0xFFFFFFF0u;
// Sent, with no event and from the main loop, when the platform has given the keyboard
// back for a while although the tap stays (it saw the process stall), and when it holds
// the keyboard again.
inline constexpr EventType kEventTapReleasedByPlatform = 0xFFFFFFF1u;
inline constexpr EventType kEventTapRetakenByPlatform = 0xFFFFFFF2u;

constexpr EventMask eventMaskBit(EventType type)
{
    return EventMask{1} << type;
}

enum class TapLocation : int { Hid = 0, Session = 1, AnnotatedSession = 2 };
enum class TapPlacement : int { HeadInsert = 0, TailAppend = 1 };
enum class TapOptions : int { Default = 0, ListenOnly = 1 };

struct TapEvent; // a platform event; opaque to callers
struct TapProxy; // opaque

// Returns the event to pass on, or nullptr to delete it. Called on the main thread.
using TapCallback = TapEvent* (*)(TapProxy* proxy, EventType type, TapEvent* event, void* context);

// An installed tap. Destroying it removes the tap from the system.
class EventTap {
public:
    virtual ~EventTap() = default;
};

// Connects a tap to the main event loop. Destroying it does not touch the tap.
class RunLoopSource {
public:
    virtual ~RunLoopSource() = default;
};

// Why the last createTap() made no tap.
enum class TapRefusal {
    None,
    NotPermitted,          // this process may not lock the keyboard (see accessProblem())
    NoPointingDevice,      // nobody could click "Unlock keyboard"
    KeyboardHeldElsewhere, // another program holds the keyboard
    SessionNotActive,      // the session is in the background or not at this machine
    KeysHeld,              // a key stayed down while the lock waited for all to come up
    ServiceUnavailable,    // what locks the keyboard did not answer
    Failed,
};

// What keeps this process from locking the keyboard, in the terms the user can act on.
enum class AccessProblem {
    None,
    NoX11Session,        // a Wayland session without the keyboard-lock service
    NoDisplay,           // an X11 session whose display cannot be reached
    ServiceUnavailable,  // the keyboard-lock service is installed but does not answer
    NeedsAuthentication, // the system asks for authentication first, and none was given
    NotAuthorized,       // the system's policy does not allow it
    SessionNotActive,
    NoPointingDevice,
    KeyboardHeldElsewhere, // another program holds the keyboard, or its lock
    KeysHeld,              // keys were held down when the lock was to be taken
    Failed,
};

class KeyboardAccess {
public:
    virtual ~KeyboardAccess() = default;

    // Whether this process may tap the keyboard. No side effect; cheap enough to poll.
    virtual bool isProcessTrusted() = 0;
    // Asks the user to grant keyboard access, the platform's way. Returns at once.
    virtual void promptForTrust() = 0;
    // Listen (input monitoring) access: check without side effect, and ask for it.
    virtual bool preflightListenAccess() = 0;
    virtual void requestListenAccess() = 0;

    // nullptr when the tap cannot be had; nothing is installed then.
    virtual std::unique_ptr<EventTap> createTap(TapLocation location, TapPlacement placement,
                                                TapOptions options, EventMask mask,
                                                TapCallback callback, void* context) = 0;
    virtual void enableTap(EventTap& tap, bool enable) = 0;
    // nullptr when no source can be made for the tap.
    virtual std::unique_ptr<RunLoopSource> createRunLoopSource(EventTap& tap) = 0;
    virtual void addToMainLoop(RunLoopSource& source) = 0;
    virtual void removeFromMainLoop(RunLoopSource& source) = 0;

    // Whether a pointing device is there to click "Unlock keyboard" with. Cached; cheap
    // enough to poll. True when it cannot be told.
    virtual bool hasPointingDevice() = 0;
    // Why the last createTap() returned nullptr; None after one that made a tap.
    virtual TapRefusal lastTapRefusal() = 0;
    // What the user must be told is missing: why trust is lacking, or, while trusted, why
    // the last tap was refused. None when nothing is known to be missing.
    virtual AccessProblem accessProblem() = 0;
};

} // namespace platform
