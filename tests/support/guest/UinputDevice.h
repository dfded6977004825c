// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// A virtual input device made through /dev/uinput, as the kernel sees a plugged-in one.
class UinputDevice {
public:
    enum class Kind { Keyboard, Mouse, Combo };

    UinputDevice(Kind kind, const std::string& name);
    ~UinputDevice();
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;

    // False when the kernel refused the device; error() says why.
    bool isValid() const { return m_fd >= 0 && !m_node.empty(); }
    const std::string& error() const { return m_error; }
    // The device's event node, e.g. /dev/input/event3.
    const std::string& node() const { return m_node; }

    // One event followed by SYN_REPORT, as a real device reports a change.
    bool report(int type, int code, int value);

private:
    bool write(int type, int code, int value);
    bool findNode();

    int m_fd = -1;
    std::string m_node;
    std::string m_error;
};
