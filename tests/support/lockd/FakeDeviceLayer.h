// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/DeviceLayer.h"
#include "lockd/Handles.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Input devices for tests, modelled on evdev: every opened handle gets a pipe that becomes
// readable when the device reports events; a grab sends a device's events to the grabbing
// handle alone; closing a handle lets its grab go; an unplugged device's handles read
// ENODEV. Events that reach anyone but the service (a compositor, another grabber) are
// counted, so that a test sees whether a key got past the lock.
class FakeDeviceLayer final : public lockd::DeviceLayer {
public:
    FakeDeviceLayer();
    ~FakeDeviceLayer() override;

    // Present from the start, or plugged in once watched.
    void add(const lockd::InputNode& node, bool heldByOther = false);
    void unplug(const std::string& path);
    void press(const std::string& path, unsigned code);
    void release(const std::string& path, unsigned code);
    void move(const std::string& path, int dx, int dy);
    void holdByOther(const std::string& path, bool held);
    // The key goes down in the moment between the lock's keys-up check and its grab.
    void pressAtGrab(const std::string& path, unsigned code);
    void failOpen(const std::string& path, int error);

    bool isGrabbed(const std::string& path) const;
    int grabbedCount() const;
    // Events of this device that reached readers other than the service.
    int reachedOthers(const std::string& path) const;
    // Events the service's virtual pointers passed on, in order.
    const std::vector<input_event>& forwarded() const { return m_forwarded; }
    int virtualPointerCount() const { return m_virtualPointers; }

    bool watch(sd_event* loop, Listener& listener) override;
    std::vector<lockd::InputNode> enumerate() override;
    lockd::Opened<lockd::InputDevice> open(const lockd::InputNode& node) override;
    lockd::Opened<lockd::VirtualPointer> createVirtualPointer(const lockd::InputNode& node,
                                                              lockd::InputDevice& source) override;

    struct Device;
    class Handle;
    class Pointer;

private:
    void post(std::function<void()> call);

    std::map<std::string, std::shared_ptr<Device>> m_devices;
    std::vector<input_event> m_forwarded;
    int m_virtualPointers = 0;
    int m_madePointers = 0;
    sd_event* m_loop = nullptr;
    Listener* m_listener = nullptr;
    std::vector<lockd::EventSource> m_posted;
};

// Event nodes of the usual kinds.
namespace fake {
lockd::InputNode node(const std::string& path, std::initializer_list<unsigned> events,
                      std::initializer_list<unsigned> keys = {},
                      std::initializer_list<unsigned> relative = {},
                      std::initializer_list<unsigned> absolute = {},
                      std::initializer_list<unsigned> switches = {});
lockd::InputNode keyboard(const std::string& path);
lockd::InputNode mouse(const std::string& path);
// A wireless receiver's single node: a keyboard and a mouse.
lockd::InputNode combo(const std::string& path);
lockd::InputNode lidSwitch(const std::string& path);
} // namespace fake
