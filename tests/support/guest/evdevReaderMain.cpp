// SPDX-License-Identifier: GPL-3.0-or-later

// Stands in for the compositor: reads every event node without grabbing it, as libinput
// does, follows nodes as they appear, and counts what each device delivers. On stdin:
//   count  prints one line per device seen, then "end":
//          device NODE keys=K repeats=R buttons=B motions=M dropped=D held=CODES name=NAME
//          (keys: keyboard key presses and releases; held: keys whose last event was a
//          press or a repeat, "-" for none; dropped: SYN_DROPPED seen)
//   reset  sets the counters to zero (what is held stays) and prints "ok"
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

struct Device {
    int fd = -1;
    std::string name;
    long keys = 0;
    long repeats = 0;
    long buttons = 0;
    long motions = 0;
    long dropped = 0;
    std::set<int> held;
};

bool isKeyboardKey(int code)
{
    return code < BTN_MISC || code >= KEY_OK;
}

class Reader {
public:
    void scan();
    void drainAll();
    void drain(Device& device);
    void print() const;
    void reset();
    std::vector<pollfd> pollSet() const;
    Device* deviceFor(int fd);

private:
    std::map<std::string, Device> m_devices;
};

void Reader::scan()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/input", error)) {
        const std::string node = entry.path();
        if (entry.path().filename().string().rfind("event", 0) != 0)
            continue;
        Device& device = m_devices[node];
        if (device.fd >= 0)
            continue;
        const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A node seen again belongs to a new device.
        device = Device{};
        device.fd = fd;
        char name[256] = {};
        ioctl(fd, EVIOCGNAME(sizeof name - 1), name);
        device.name = name;
    }
}

void Reader::drain(Device& device)
{
    input_event events[256];
    for (;;) {
        const ssize_t size = ::read(device.fd, events, sizeof events);
        if (size <= 0) {
            if (size < 0 && errno == ENODEV) {
                ::close(device.fd);
                device.fd = -1;
            }
            return;
        }
        for (ssize_t i = 0; i < size / static_cast<ssize_t>(sizeof(input_event)); ++i) {
            const input_event& event = events[i];
            if (event.type == EV_KEY) {
                if (event.value == 0)
                    device.held.erase(event.code);
                else
                    device.held.insert(event.code);
                if (!isKeyboardKey(event.code))
                    ++device.buttons;
                else if (event.value == 2)
                    ++device.repeats;
                else
                    ++device.keys;
            } else if (event.type == EV_REL) {
                ++device.motions;
            } else if (event.type == EV_SYN && event.code == SYN_DROPPED) {
                ++device.dropped;
            }
        }
    }
}

void Reader::drainAll()
{
    for (auto& entry : m_devices)
        if (entry.second.fd >= 0)
            drain(entry.second);
}

void Reader::print() const
{
    for (const auto& [node, device] : m_devices) {
        std::string held;
        for (int code : device.held) {
            if (!held.empty())
                held += ',';
            held += std::to_string(code);
        }
        std::cout << "device " << node << " keys=" << device.keys << " repeats=" << device.repeats
                  << " buttons=" << device.buttons << " motions=" << device.motions
                  << " dropped=" << device.dropped << " held=" << (held.empty() ? "-" : held)
                  << " name=" << device.name << '\n';
    }
    std::cout << "end" << std::endl;
}

void Reader::reset()
{
    for (auto& [node, device] : m_devices)
        device.keys = device.repeats = device.buttons = device.motions = device.dropped = 0;
}

std::vector<pollfd> Reader::pollSet() const
{
    std::vector<pollfd> set;
    for (const auto& [node, device] : m_devices)
        if (device.fd >= 0)
            set.push_back({device.fd, POLLIN, 0});
    return set;
}

Device* Reader::deviceFor(int fd)
{
    for (auto& [node, device] : m_devices)
        if (device.fd == fd)
            return &device;
    return nullptr;
}

} // namespace

int main()
{
    Reader reader;
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, "/dev/input", IN_CREATE | IN_ATTRIB) < 0) {
        std::cout << "error cannot watch /dev/input" << std::endl;
        return 1;
    }
    reader.scan();
    std::cout << "ready" << std::endl;

    std::string pending;
    for (;;) {
        std::vector<pollfd> set{{STDIN_FILENO, POLLIN, 0}, {watch, POLLIN, 0}};
        const std::vector<pollfd> devices = reader.pollSet();
        set.insert(set.end(), devices.begin(), devices.end());
        if (poll(set.data(), set.size(), -1) < 0 && errno != EINTR)
            return 1;
        if (set[1].revents) {
            char buffer[4096];
            while (::read(watch, buffer, sizeof buffer) > 0) {
            }
            reader.scan();
        }
        for (size_t i = 2; i < set.size(); ++i)
            if (set[i].revents)
                if (Device* device = reader.deviceFor(set[i].fd))
                    reader.drain(*device);
        if (!set[0].revents)
            continue;
        char buffer[256];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size <= 0)
            return 0;
        pending.append(buffer, static_cast<size_t>(size));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string command = pending.substr(0, end);
            pending.erase(0, end + 1);
            reader.scan();
            reader.drainAll();
            if (command == "count") {
                reader.print();
            } else if (command == "reset") {
                reader.reset();
                std::cout << "ok" << std::endl;
            } else {
                std::cout << "error unknown command " << command << std::endl;
            }
        }
    }
}
