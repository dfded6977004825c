// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/DeviceLayer.h"
#include "lockd/DeviceRole.h"
#include "lockd/KeyboardLock.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace lockd {

// Knows the input devices present, by seat, and holds at most one KeyboardLock on the
// keyboards of one seat: refuses a lock with no pointing device at that seat to unlock
// with, hands keyboards plugged in there during a lock to it, and ends it when the seat's
// last pointing device goes.
class LockKeeper final : private DeviceLayer::Listener {
public:
    enum class Refusal { None, NoPointer, Busy };

    LockKeeper(sd_event* loop, DeviceLayer& devices, KeyboardLock::Timing timing = {});
    ~LockKeeper() override;

    // Lists the devices and follows them from now on. False when they cannot be followed.
    bool start();

    bool hasPointer(const std::string& seat) const { return m_pointers.contains(seat); }
    bool isLocked() const { return m_lock != nullptr; }
    Refusal refusal(const std::string& seat) const;

    // Takes the lock of `seat`'s keyboards unless refused; `taken` and `ended` as
    // KeyboardLock's.
    Refusal take(const std::string& seat, KeyboardLock::TakenHandler taken,
                 KeyboardLock::EndedHandler ended);
    // Ends the lock, if any; its handlers tell when every keyboard is free.
    void end();

    // Called when a pointing device appears at a seat that had none, or its last one goes.
    std::function<void()> pointerPresenceChanged;

private:
    void nodeAdded(const InputNode& node) override;
    void nodeRemoved(const std::string& path) override;
    void countPointer(const std::string& seat, int change);
    std::vector<InputNode> keyboards(const std::string& seat) const;

    sd_event* m_loop;
    DeviceLayer& m_devices;
    KeyboardLock::Timing m_timing;
    std::map<std::string, InputNode> m_nodes;      // the keyboards and pointers, by path
    std::map<std::string, std::size_t> m_pointers; // by seat, only seats that have one
    std::unique_ptr<KeyboardLock> m_lock;
    std::string m_lockedSeat;
};

} // namespace lockd
