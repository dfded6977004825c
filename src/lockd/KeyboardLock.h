// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/DeviceLayer.h"
#include "lockd/Handles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lockd {

// One lock: every keyboard-like node grabbed (EVIOCGRAB), its events read and dropped,
// for as long as the holder keeps its end of a socket pair open and writes to it.
//
//   take()  grabs each keyboard once no key of it is down, then hands out the descriptor;
//           a keyboard another program holds (EBUSY), or one whose keys stay down, fails
//           the lock after everything grabbed so far has been given back.
//   while held, no byte for heartbeatTimeout gives every keyboard back; the next byte
//           takes them again. The service tells the holder each time with one byte: 'R'
//           (given back) and 'L' (held again). Keyboards plugged in meanwhile are grabbed
//           at once.
//   end()   gives every keyboard back once its keys are up (or after keysUpWait), then
//           closes the service's end so that the holder sees the hang-up.
//
// Everything runs on the loop's thread; callbacks arrive from the loop, never from
// inside a call, so that the owner may destroy the lock in them.
class KeyboardLock {
public:
    struct Timing {
        uint64_t heartbeatTimeoutUsec = 2'000'000;
        uint64_t keysUpWaitUsec = 500'000;
    };
    enum class Result {
        Locked,
        Busy,    // another program holds a keyboard's grab
        KeyHeld, // a key stayed down for the whole wait
        Failed,  // a keyboard could not be opened or grabbed
        Ended,   // end() before every keyboard was grabbed
    };
    // Once per take(): Locked with the holder's end of the descriptor, or why not.
    using TakenHandler = std::function<void(Result, UniqueFd holderEnd, const std::string& why)>;
    // Once, after a Locked lock has ended and every keyboard is free again.
    using EndedHandler = std::function<void()>;

    KeyboardLock(sd_event* loop, DeviceLayer& devices, Timing timing);
    ~KeyboardLock();
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

    void take(const std::vector<InputNode>& keyboards, TakenHandler taken, EndedHandler ended);
    void addKeyboard(const InputNode& node);
    void removeNode(const std::string& path);
    void end();

    bool isEnding() const { return m_phase == Phase::Ending || m_phase == Phase::Done; }
    // True for the input devices of the virtual pointers this lock made.
    bool madeDevice(const std::string& parent) const;

private:
    struct Held;
    enum class Phase { Taking, Held, Ending, Done };

    bool wantsGrabbed() const { return m_phase != Phase::Ending && !m_stalled; }
    void hold(const InputNode& node);
    void settleAll();
    void settle(Held& held);
    void waitForKeysUp(Held& held);
    void giveUpWaiting(Held& held);
    void lose(Result why, const std::string& detail);
    void readDevice(Held& held, uint32_t revents);
    void forward(Held& held, std::span<const input_event> events);
    void drop(Held& held);
    void checkProgress();
    void handOut();
    void readHolder(uint32_t revents);
    uint64_t readPauseUsec() const;
    void tellHolder();
    void heartbeatMissed();
    void finish();
    void post(std::function<void()> call);

    sd_event* m_loop;
    DeviceLayer& m_devices;
    Timing m_timing;
    Phase m_phase = Phase::Taking;
    bool m_stalled = false;
    Result m_failure = Result::Ended;
    std::string m_failureDetail;
    std::vector<std::unique_ptr<Held>> m_held;
    UniqueFd m_ownEnd;
    UniqueFd m_holderEnd; // until handed out
    EventSource m_holderWatch;
    EventSource m_heartbeat;
    EventSource m_readPause; // the holder's descriptor rests until this fires
    char m_told = 'L';       // what the holder was last told: 'L' from the hand-out on
    TakenHandler m_taken;
    EndedHandler m_ended;
    std::vector<EventSource> m_posted;
};

} // namespace lockd
