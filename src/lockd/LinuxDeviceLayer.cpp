// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/LinuxDeviceLayer.h"

#include "lockd/DeviceRole.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <libudev.h>
#include <linux/uinput.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace lockd {
namespace {

constexpr std::size_t kLongBits = sizeof(unsigned long) * 8;

template <std::size_t Bits>
using Words = std::array<unsigned long, (Bits + kLongBits - 1) / kLongBits>;

template <std::size_t Bits> std::bitset<Bits> toBits(const Words<Bits>& words)
{
    std::bitset<Bits> bits;
    for (std::size_t bit = 0; bit < Bits; ++bit) {
        if ((words[bit / kLongBits] >> (bit % kLongBits)) & 1)
            bits.set(bit);
    }
    return bits;
}

template <std::size_t Bits> std::bitset<Bits> readBits(int fd, unsigned type)
{
    Words<Bits> words{};
    ::ioctl(fd, EVIOCGBIT(type, sizeof words), words.data());
    return toBits<Bits>(words);
}

InputCapabilities capabilitiesOf(int fd)
{
    InputCapabilities c;
    c.events = readBits<EV_CNT>(fd, 0);
    c.keys = readBits<KEY_CNT>(fd, EV_KEY);
    c.relative = readBits<REL_CNT>(fd, EV_REL);
    c.absolute = readBits<ABS_CNT>(fd, EV_ABS);
    c.switches = readBits<SW_CNT>(fd, EV_SW);
    Words<INPUT_PROP_CNT> properties{};
    ::ioctl(fd, EVIOCGPROP(sizeof properties), properties.data());
    c.properties = toBits<INPUT_PROP_CNT>(properties);
    return c;
}

// The same bits as the input device's sysfs attributes: hexadecimal words, the most
// significant first.
template <std::size_t Bits> std::bitset<Bits> sysfsBits(udev_device* input, const char* attribute)
{
    Words<Bits> words{};
    const char* text = udev_device_get_sysattr_value(input, attribute);
    if (!text)
        return {};
    std::string_view rest(text);
    std::vector<unsigned long> found;
    while (!rest.empty()) {
        const std::size_t end = rest.find(' ');
        found.push_back(std::strtoul(std::string(rest.substr(0, end)).c_str(), nullptr, 16));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    for (std::size_t i = 0; i < found.size() && i < words.size(); ++i)
        words[i] = found[found.size() - 1 - i];
    return toBits<Bits>(words);
}

InputCapabilities sysfsCapabilities(udev_device* input)
{
    InputCapabilities c;
    c.events = sysfsBits<EV_CNT>(input, "capabilities/ev");
    c.keys = sysfsBits<KEY_CNT>(input, "capabilities/key");
    c.relative = sysfsBits<REL_CNT>(input, "capabilities/rel");
    c.absolute = sysfsBits<ABS_CNT>(input, "capabilities/abs");
    c.switches = sysfsBits<SW_CNT>(input, "capabilities/sw");
    c.properties = sysfsBits<INPUT_PROP_CNT>(input, "properties");
    return c;
}

// The seat as logind assigns it: ID_SEAT on the device or the nearest parent that has one
// (seat rules usually tag a USB hub or a graphics card's neighbours), seat0 otherwise. A
// device plugged in now is read before udevd has written its own record, so for it only
// its parents' count, which is where `loginctl attach` puts the seat anyway.
std::string seatOf(udev_device* device)
{
    for (udev_device* at = device; at; at = udev_device_get_parent(at)) {
        const char* seat = udev_device_get_property_value(at, "ID_SEAT");
        if (seat && *seat)
            return seat;
    }
    return "seat0";
}

std::optional<InputNode> describe(udev_device* device)
{
    const char* sysname = udev_device_get_sysname(device);
    if (!sysname || std::string_view(sysname).substr(0, 5) != "event")
        return std::nullopt;
    InputNode node;
    const char* devnode = udev_device_get_devnode(device);
    node.path = devnode ? devnode : std::string("/dev/input/") + sysname;
    node.seat = seatOf(device);
    udev_device* input = udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
    if (input) {
        node.parent = udev_device_get_sysname(input);
        if (const char* name = udev_device_get_sysattr_value(input, "name"))
            node.name = name;
    }
    const UniqueFd fd(::open(node.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd) {
        node.capabilities = capabilitiesOf(fd.get());
    } else if (errno == ENOENT || errno == ENODEV) {
        return std::nullopt; // gone already
    } else if (input) {
        // Unreadable, yet it must be judged: a keyboard left out would stay unlocked,
        // while one judged a keyboard makes the lock fail honestly when it cannot be opened.
        node.capabilities = sysfsCapabilities(input);
    }
    return node;
}

class LinuxInputDevice final : public InputDevice {
public:
    explicit LinuxInputDevice(UniqueFd fd) : m_fd(std::move(fd)) {}

    int fd() const override { return m_fd.get(); }
    int setGrabbed(bool grabbed) override
    {
        return ::ioctl(m_fd.get(), EVIOCGRAB, grabbed ? 1 : 0) == 0 ? 0 : errno;
    }
    bool anyKeyDown() override
    {
        Words<KEY_CNT> down{};
        if (::ioctl(m_fd.get(), EVIOCGKEY(sizeof down), down.data()) < 0)
            return false; // gone: its read reports that
        for (unsigned long word : down) {
            if (word)
                return true;
        }
        return false;
    }
    ssize_t read(std::span<input_event> into) override
    {
        const ssize_t bytes = ::read(m_fd.get(), into.data(), into.size_bytes());
        if (bytes < 0)
            return errno == EAGAIN || errno == EINTR ? 0 : -errno;
        return bytes / ssize_t(sizeof(input_event));
    }

private:
    UniqueFd m_fd;
};

class LinuxVirtualPointer final : public VirtualPointer {
public:
    LinuxVirtualPointer(UniqueFd fd, std::string parent)
        : m_fd(std::move(fd)), m_parent(std::move(parent))
    {
    }
    ~LinuxVirtualPointer() override { ::ioctl(m_fd.get(), UI_DEV_DESTROY); }

    std::string parent() const override { return m_parent; }
    bool write(std::span<const input_event> events) override
    {
        return ::write(m_fd.get(), events.data(), events.size_bytes()) ==
               ssize_t(events.size_bytes());
    }

private:
    UniqueFd m_fd;
    std::string m_parent;
};

} // namespace

LinuxDeviceLayer::LinuxDeviceLayer() : m_udev(udev_new()) {}

LinuxDeviceLayer::~LinuxDeviceLayer()
{
    m_monitorWatch.reset();
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

bool LinuxDeviceLayer::watch(sd_event* loop, Listener& listener)
{
    if (!m_udev)
        return false;
    m_listener = &listener;
    // Kernel events, not udevd's: they arrive inside the unit's private network
    // namespace (udevd's do not) and on machines without udevd. The node exists by then
    // (devtmpfs), and the service judges devices itself, needing nothing udevd adds.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "kernel");
    if (!m_monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0)
        return false;
    udev_monitor_set_receive_buffer_size(m_monitor,
                                         1 << 20); // a burst of plugs must not overflow it
    sd_event_source* source = nullptr;
    if (sd_event_add_io(
            loop, &source, udev_monitor_get_fd(m_monitor), EPOLLIN,
            [](sd_event_source*, int, uint32_t, void* data) {
                static_cast<LinuxDeviceLayer*>(data)->receive();
                return 0;
            },
            this) < 0)
        return false;
    m_monitorWatch.reset(source);
    return true;
}

void LinuxDeviceLayer::receive()
{
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* actionText = udev_device_get_action(device);
        const std::string_view action = actionText ? actionText : "";
        const char* sysname = udev_device_get_sysname(device);
        const char* devnode = udev_device_get_devnode(device);
        if (sysname && std::string_view(sysname).substr(0, 5) == "event") {
            if (action == "add") {
                if (const std::optional<InputNode> node = describe(device))
                    m_listener->nodeAdded(*node);
            } else if (action == "remove") {
                m_listener->nodeRemoved(devnode ? devnode : std::string("/dev/input/") + sysname);
            }
        }
        udev_device_unref(device);
    }
}

std::vector<InputNode> LinuxDeviceLayer::enumerate()
{
    std::vector<InputNode> nodes;
    udev_enumerate* enumerator = udev_enumerate_new(m_udev);
    if (!enumerator)
        return nodes;
    udev_enumerate_add_match_subsystem(enumerator, "input");
    udev_enumerate_add_match_sysname(enumerator, "event*");
    udev_enumerate_scan_devices(enumerator);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerator))
    {
        udev_device* device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        if (std::optional<InputNode> node = describe(device))
            nodes.push_back(std::move(*node));
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerator);
    return nodes;
}

Opened<InputDevice> LinuxDeviceLayer::open(const InputNode& node)
{
    UniqueFd fd(::open(node.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return {nullptr, errno};
    return {std::make_unique<LinuxInputDevice>(std::move(fd)), 0};
}

Opened<VirtualPointer> LinuxDeviceLayer::createVirtualPointer(const InputNode& node,
                                                              InputDevice& source)
{
    UniqueFd fd(::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return {nullptr, errno};
    const InputCapabilities& c = node.capabilities;
    auto set = [&fd](unsigned long request, unsigned value) {
        return ::ioctl(fd.get(), request, value) == 0;
    };
    bool ok = set(UI_SET_EVBIT, EV_SYN) && set(UI_SET_EVBIT, EV_KEY);
    for (unsigned code = 0; ok && code < KEY_CNT; ++code) {
        if (c.keys.test(code) && isPointerButton(code))
            ok = set(UI_SET_KEYBIT, code);
    }
    if (c.events.test(EV_REL)) {
        ok = ok && set(UI_SET_EVBIT, EV_REL);
        for (unsigned code = 0; ok && code < REL_CNT; ++code) {
            if (c.relative.test(code))
                ok = set(UI_SET_RELBIT, code);
        }
    }
    if (c.events.test(EV_ABS)) {
        ok = ok && set(UI_SET_EVBIT, EV_ABS);
        for (unsigned code = 0; ok && code < ABS_CNT; ++code) {
            if (!c.absolute.test(code))
                continue;
            uinput_abs_setup axis{};
            axis.code = __u16(code);
            ok = ::ioctl(source.fd(), EVIOCGABS(code), &axis.absinfo) == 0 &&
                 ::ioctl(fd.get(), UI_ABS_SETUP, &axis) == 0;
        }
    }
    for (unsigned property = 0; ok && property < INPUT_PROP_CNT; ++property) {
        if (c.properties.test(property))
            ok = set(UI_SET_PROPBIT, property);
    }
    uinput_setup setup{};
    ::ioctl(source.fd(), EVIOCGID, &setup.id); // the same ids, so that quirks still apply
    std::snprintf(setup.name, sizeof setup.name, "%s (Tavimo)", node.name.c_str());
    std::array<char, 64> sysname{};
    ok = ok && ::ioctl(fd.get(), UI_DEV_SETUP, &setup) == 0 &&
         ::ioctl(fd.get(), UI_DEV_CREATE) == 0 &&
         ::ioctl(fd.get(), UI_GET_SYSNAME(sysname.size() - 1), sysname.data()) >= 0;
    if (!ok)
        return {nullptr, errno};
    return {std::make_unique<LinuxVirtualPointer>(std::move(fd), sysname.data()), 0};
}

} // namespace lockd
