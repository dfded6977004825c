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

// Knows the input devices present and holds at most one KeyboardLock: refuses a lock
// with no pointing device to unlock with, hands keyboards plugged in during a lock to it,
// and ends it when the last pointing device goes.
class LockKeeper final : private DeviceLayer::Listener {
public:
    enum class Refusal { None, NoPointer, Busy };

    LockKeeper(sd_event* loop, DeviceLayer& devices, KeyboardLock::Timing timing = {});
    ~LockKeeper() override;

    // Lists the devices and follows them from now on. False when they cannot be followed.
    bool start();

    bool hasPointer() const { return m_pointers > 0; }
    bool isLocked() const { return m_lock != nullptr; }
    Refusal refusal() const;

    // Takes the lock unless refused; `taken` and `ended` as KeyboardLock's.
    Refusal take(KeyboardLock::TakenHandler taken, KeyboardLock::EndedHandler ended);
    // Ends the lock, if any; its handlers tell when every keyboard is free.
    void end();

    // Called when a pointing device appears where there was none, or the last one goes.
    std::function<void()> pointerPresenceChanged;

private:
    void nodeAdded(const InputNode& node) override;
    void nodeRemoved(const std::string& path) override;
    void setPointers(std::size_t count);
    std::vector<InputNode> keyboards() const;

    sd_event* m_loop;
    DeviceLayer& m_devices;
    KeyboardLock::Timing m_timing;
    std::map<std::string, InputNode> m_nodes; // the keyboards and pointers, by path
    std::size_t m_pointers = 0;
    std::unique_ptr<KeyboardLock> m_lock;
};

} // namespace lockd
