// SPDX-License-Identifier: GPL-3.0-or-later

#include "UinputDevice.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void enableKeys(int fd)
{
    ioctl(fd, UI_SET_EVBIT, EV_KEY);
    // Everything from Escape to the multimedia keys: what udev calls a full keyboard.
    for (int code = KEY_ESC; code < BTN_MISC; ++code)
        ioctl(fd, UI_SET_KEYBIT, code);
    // Real keyboards repeat held keys in the kernel.
    ioctl(fd, UI_SET_EVBIT, EV_REP);
}

void enablePointer(int fd)
{
    ioctl(fd, UI_SET_EVBIT, EV_KEY);
    for (int code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        ioctl(fd, UI_SET_KEYBIT, code);
    ioctl(fd, UI_SET_EVBIT, EV_REL);
    for (int code : {REL_X, REL_Y, REL_WHEEL})
        ioctl(fd, UI_SET_RELBIT, code);
}

} // namespace

UinputDevice::UinputDevice(Kind kind, const std::string& name)
{
    m_fd = ::open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = std::string("cannot open /dev/uinput: ") + std::strerror(errno);
        return;
    }
    if (kind != Kind::Mouse)
        enableKeys(m_fd);
    if (kind != Kind::Keyboard)
        enablePointer(m_fd);
    uinput_setup setup{};
    setup.id.bustype = BUS_USB;
    setup.id.vendor = 0x1d6b;
    setup.id.product = 0x0100 + static_cast<int>(kind);
    std::strncpy(setup.name, name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(m_fd, UI_DEV_SETUP, &setup) != 0 || ioctl(m_fd, UI_DEV_CREATE) != 0) {
        m_error = std::string("uinput refused the device: ") + std::strerror(errno);
        return;
    }
    if (!findNode())
        m_error = "the device got no event node";
}

UinputDevice::~UinputDevice()
{
    if (m_fd >= 0) {
        ioctl(m_fd, UI_DEV_DESTROY);
        ::close(m_fd);
    }
}

bool UinputDevice::report(int type, int code, int value)
{
    return write(type, code, value) && write(EV_SYN, SYN_REPORT, 0);
}

bool UinputDevice::write(int type, int code, int value)
{
    input_event event{};
    event.type = static_cast<__u16>(type);
    event.code = static_cast<__u16>(code);
    event.value = value;
    return ::write(m_fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

bool UinputDevice::findNode()
{
    char sysname[64] = {};
    if (ioctl(m_fd, UI_GET_SYSNAME(sizeof sysname - 1), sysname) < 0)
        return false;
    namespace fs = std::filesystem;
    const fs::path device = fs::path("/sys/devices/virtual/input") / sysname;
    // devtmpfs makes the node as the kernel registers the handler; allow it a moment.
    for (int attempt = 0; attempt < 200; ++attempt) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(device, error)) {
            const std::string child = entry.path().filename();
            if (child.rfind("event", 0) == 0 && fs::exists("/dev/input/" + child)) {
                m_node = "/dev/input/" + child;
                return true;
            }
        }
        usleep(10000);
    }
    return false;
}
