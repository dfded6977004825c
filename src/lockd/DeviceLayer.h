// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <systemd/sd-event.h>

#include <bitset>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <linux/input.h>
#include <sys/types.h>

namespace lockd {

// What an event node can report, as EVIOCGBIT and EVIOCGPROP tell it.
struct InputCapabilities {
    std::bitset<EV_CNT> events;
    std::bitset<KEY_CNT> keys;
    std::bitset<REL_CNT> relative;
    std::bitset<ABS_CNT> absolute;
    std::bitset<SW_CNT> switches;
    std::bitset<INPUT_PROP_CNT> properties;
};

// One evdev event node.
struct InputNode {
    std::string path; // /dev/input/event4
    // The sysname of the input device the node belongs to ("input7"): how the service
    // knows the virtual pointers it made itself.
    std::string parent;
    std::string name;
    // The seat it belongs to: udev's ID_SEAT, as logind assigns devices to seats.
    std::string seat = "seat0";
    InputCapabilities capabilities;
};

// An opened event node. The descriptor is non-blocking and readable while events wait.
class InputDevice {
public:
    virtual ~InputDevice() = default;
    virtual int fd() const = 0;
    // EVIOCGRAB: 0, or the errno (EBUSY: another program holds the grab).
    virtual int setGrabbed(bool grabbed) = 0;
    // EVIOCGKEY: true while any key or button of the node is down.
    virtual bool anyKeyDown() = 0;
    // Takes waiting events: how many were stored, 0 when none wait, or -errno
    // (-ENODEV once the device is gone).
    virtual ssize_t read(std::span<input_event> into) = 0;
};

// A uinput pointer that repeats a combined keyboard-and-pointer device's pointer events.
class VirtualPointer {
public:
    virtual ~VirtualPointer() = default;
    // The sysname of the input device it made ("input12").
    virtual std::string parent() const = 0;
    virtual bool write(std::span<const input_event> events) = 0;
};

template <typename Device> struct Opened {
    std::unique_ptr<Device> device;
    int error = 0; // the errno when device is null
};

// The input devices of the machine: the real ones (LinuxDeviceLayer) or a test's stand-ins.
class DeviceLayer {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void nodeAdded(const InputNode& node) = 0;
        virtual void nodeRemoved(const std::string& path) = 0;
    };

    virtual ~DeviceLayer() = default;
    // Starts reporting event nodes that come and go, from the loop. False when it cannot.
    virtual bool watch(sd_event* loop, Listener& listener) = 0;
    // The event nodes present now.
    virtual std::vector<InputNode> enumerate() = 0;
    virtual Opened<InputDevice> open(const InputNode& node) = 0;
    // A virtual pointer with the pointer axes and buttons of `node`, opened as `source`.
    virtual Opened<VirtualPointer> createVirtualPointer(const InputNode& node,
                                                        InputDevice& source) = 0;
};

} // namespace lockd
