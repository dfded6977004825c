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
};

} // namespace platform
