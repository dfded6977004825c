// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/DeviceLayer.h"
#include "lockd/Handles.h"

struct udev;
struct udev_device;
struct udev_monitor;

namespace lockd {

// The machine's evdev nodes, found and followed with libudev, used through ioctls.
class LinuxDeviceLayer final : public DeviceLayer {
public:
    LinuxDeviceLayer();
    ~LinuxDeviceLayer() override;
    LinuxDeviceLayer(const LinuxDeviceLayer&) = delete;
    LinuxDeviceLayer& operator=(const LinuxDeviceLayer&) = delete;

    bool watch(sd_event* loop, Listener& listener) override;
    std::vector<InputNode> enumerate() override;
    Opened<InputDevice> open(const InputNode& node) override;
    Opened<VirtualPointer> createVirtualPointer(const InputNode& node,
                                                InputDevice& source) override;

private:
    void receive();

    struct udev* m_udev = nullptr;
    struct udev_monitor* m_monitor = nullptr;
    EventSource m_monitorWatch;
    Listener* m_listener = nullptr;
};

} // namespace lockd
