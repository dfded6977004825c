// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/lockd/FakeDeviceLayer.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

using lockd::InputNode;

struct FakeDeviceLayer::Device {
    InputNode node;
    std::set<unsigned> down;
    std::vector<Handle*> handles;
    Handle* grabbedBy = nullptr;
    bool heldByOther = false;
    bool gone = false;
    int openError = 0;
    int reachedOthers = 0;
    unsigned pressAtGrab = 0; // a key that goes down just as the next grab is asked for
};

namespace {

void report(FakeDeviceLayer::Device& device, std::initializer_list<input_event> events);

} // namespace

class FakeDeviceLayer::Handle final : public lockd::InputDevice {
public:
    Handle(std::shared_ptr<Device> device, int readEnd, int writeEnd)
        : m_device(std::move(device)), m_readEnd(readEnd), m_writeEnd(writeEnd)
    {
        m_device->handles.push_back(this);
    }
    ~Handle() override
    {
        std::erase(m_device->handles, this);
        if (m_device->grabbedBy == this)
            m_device->grabbedBy = nullptr;
    }

    int fd() const override { return m_readEnd.get(); }
    int setGrabbed(bool grabbed) override
    {
        if (m_device->gone)
            return ENODEV;
        if (!grabbed) {
            if (m_device->grabbedBy != this)
                return EINVAL;
            m_device->grabbedBy = nullptr;
            return 0;
        }
        if (m_device->heldByOther || (m_device->grabbedBy && m_device->grabbedBy != this))
            return EBUSY;
        if (const unsigned code = std::exchange(m_device->pressAtGrab, 0)) {
            m_device->down.insert(code);
            report(*m_device, {{{}, EV_KEY, __u16(code), 1}, {{}, EV_SYN, SYN_REPORT, 0}});
        }
        m_device->grabbedBy = this;
        return 0;
    }
    bool anyKeyDown() override { return !m_device->down.empty(); }
    ssize_t read(std::span<input_event> into) override
    {
        const ssize_t bytes = ::read(m_readEnd.get(), into.data(), into.size_bytes());
        if (bytes == 0)
            return -ENODEV; // unplugged: the writing end is closed
        if (bytes < 0)
            return errno == EAGAIN ? 0 : -errno;
        return bytes / ssize_t(sizeof(input_event));
    }

    void deliver(std::span<const input_event> events)
    {
        if (m_writeEnd)
            (void)!::write(m_writeEnd.get(), events.data(), events.size_bytes());
    }
    void hangUp() { m_writeEnd.reset(); }

private:
    std::shared_ptr<Device> m_device;
    lockd::UniqueFd m_readEnd;
    lockd::UniqueFd m_writeEnd;
};

class FakeDeviceLayer::Pointer final : public lockd::VirtualPointer {
public:
    Pointer(FakeDeviceLayer& layer, std::string parent)
        : m_layer(layer), m_parent(std::move(parent))
    {
        ++m_layer.m_virtualPointers;
    }
    ~Pointer() override
    {
        --m_layer.m_virtualPointers;
        m_layer.post([&layer = m_layer, path = "/dev/input/" + m_parent] {
            if (layer.m_listener)
                layer.m_listener->nodeRemoved(path);
        });
    }
    std::string parent() const override { return m_parent; }
    bool write(std::span<const input_event> events) override
    {
        m_layer.m_forwarded.insert(m_layer.m_forwarded.end(), events.begin(), events.end());
        return true;
    }

private:
    FakeDeviceLayer& m_layer;
    std::string m_parent;
};

FakeDeviceLayer::FakeDeviceLayer() = default;
FakeDeviceLayer::~FakeDeviceLayer() = default;

void FakeDeviceLayer::add(const InputNode& node, bool heldByOther)
{
    auto device = std::make_shared<Device>();
    device->node = node;
    device->heldByOther = heldByOther;
    m_devices[node.path] = device;
    if (m_listener)
        m_listener->nodeAdded(node);
}

void FakeDeviceLayer::unplug(const std::string& path)
{
    const auto found = m_devices.find(path);
    if (found == m_devices.end())
        return;
    found->second->gone = true;
    for (Handle* handle : found->second->handles)
        handle->hangUp();
    m_devices.erase(found);
    if (m_listener)
        m_listener->nodeRemoved(path);
}

void FakeDeviceLayer::press(const std::string& path, unsigned code)
{
    Device& device = *m_devices.at(path);
    device.down.insert(code);
    report(device, {{{}, EV_MSC, MSC_SCAN, int(code)},
                    {{}, EV_KEY, __u16(code), 1},
                    {{}, EV_SYN, SYN_REPORT, 0}});
}

void FakeDeviceLayer::release(const std::string& path, unsigned code)
{
    Device& device = *m_devices.at(path);
    device.down.erase(code);
    report(device, {{{}, EV_KEY, __u16(code), 0}, {{}, EV_SYN, SYN_REPORT, 0}});
}

void FakeDeviceLayer::move(const std::string& path, int dx, int dy)
{
    report(*m_devices.at(path),
           {{{}, EV_REL, REL_X, dx}, {{}, EV_REL, REL_Y, dy}, {{}, EV_SYN, SYN_REPORT, 0}});
}

void FakeDeviceLayer::holdByOther(const std::string& path, bool held)
{
    m_devices.at(path)->heldByOther = held;
}

void FakeDeviceLayer::pressAtGrab(const std::string& path, unsigned code)
{
    m_devices.at(path)->pressAtGrab = code;
}

void FakeDeviceLayer::failOpen(const std::string& path, int error)
{
    m_devices.at(path)->openError = error;
}

bool FakeDeviceLayer::isGrabbed(const std::string& path) const
{
    const auto found = m_devices.find(path);
    return found != m_devices.end() && found->second->grabbedBy != nullptr;
}

int FakeDeviceLayer::grabbedCount() const
{
    return int(std::count_if(m_devices.begin(), m_devices.end(),
                             [](const auto& entry) { return entry.second->grabbedBy != nullptr; }));
}

int FakeDeviceLayer::reachedOthers(const std::string& path) const
{
    return m_devices.at(path)->reachedOthers;
}

namespace {

// As evdev: a grab sends everything to its handle; otherwise every reader gets it,
// other programs included.
void report(FakeDeviceLayer::Device& device, std::initializer_list<input_event> events)
{
    const std::span<const input_event> all(events.begin(), events.size());
    if (device.grabbedBy) {
        device.grabbedBy->deliver(all);
        return;
    }
    device.reachedOthers += int(events.size());
    if (device.heldByOther)
        return;
    for (FakeDeviceLayer::Handle* handle : device.handles)
        handle->deliver(all);
}

} // namespace

bool FakeDeviceLayer::watch(sd_event* loop, Listener& listener)
{
    m_loop = loop;
    m_listener = &listener;
    return true;
}

std::vector<InputNode> FakeDeviceLayer::enumerate()
{
    std::vector<InputNode> nodes;
    for (const auto& [path, device] : m_devices)
        nodes.push_back(device->node);
    return nodes;
}

lockd::Opened<lockd::InputDevice> FakeDeviceLayer::open(const InputNode& node)
{
    const auto found = m_devices.find(node.path);
    if (found == m_devices.end())
        return {nullptr, ENOENT};
    if (found->second->openError)
        return {nullptr, found->second->openError};
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return {nullptr, errno};
    return {std::make_unique<Handle>(found->second, ends[0], ends[1]), 0};
}

// Like the kernel, announces the new device a moment later, from the loop.
lockd::Opened<lockd::VirtualPointer> FakeDeviceLayer::createVirtualPointer(const InputNode&,
                                                                           lockd::InputDevice&)
{
    const std::string parent = "virtual" + std::to_string(++m_madePointers);
    InputNode announced = fake::mouse("/dev/input/" + parent);
    announced.parent = parent;
    post([this, announced] {
        if (m_listener)
            m_listener->nodeAdded(announced);
    });
    return {std::make_unique<Pointer>(*this, parent), 0};
}

void FakeDeviceLayer::post(std::function<void()> call)
{
    using Call = std::function<void()>;
    sd_event_source* source = nullptr;
    auto* stored = new Call(std::move(call));
    if (!m_loop || sd_event_add_defer(
                       m_loop, &source,
                       [](sd_event_source*, void* data) {
                           (*static_cast<Call*>(data))();
                           return 0;
                       },
                       stored) < 0) {
        delete stored;
        return;
    }
    sd_event_source_set_destroy_callback(source,
                                         [](void* data) { delete static_cast<Call*>(data); });
    sd_event_source_set_enabled(source, SD_EVENT_ONESHOT);
    m_posted.emplace_back(source);
}

namespace fake {

InputNode node(const std::string& path, std::initializer_list<unsigned> events,
               std::initializer_list<unsigned> keys, std::initializer_list<unsigned> relative,
               std::initializer_list<unsigned> absolute, std::initializer_list<unsigned> switches)
{
    InputNode node;
    node.path = path;
    node.parent = "input-" + path;
    node.name = path.substr(path.rfind('/') + 1);
    for (unsigned type : events)
        node.capabilities.events.set(type);
    for (unsigned code : keys)
        node.capabilities.keys.set(code);
    for (unsigned code : relative)
        node.capabilities.relative.set(code);
    for (unsigned code : absolute)
        node.capabilities.absolute.set(code);
    for (unsigned code : switches)
        node.capabilities.switches.set(code);
    return node;
}

InputNode keyboard(const std::string& path)
{
    InputNode keyboard = node(path, {EV_SYN, EV_KEY, EV_MSC, EV_LED, EV_REP});
    for (unsigned code = KEY_ESC; code <= KEY_KPDOT; ++code)
        keyboard.capabilities.keys.set(code);
    return keyboard;
}

InputNode mouse(const std::string& path)
{
    return node(path, {EV_SYN, EV_KEY, EV_REL}, {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE},
                {REL_X, REL_Y, REL_WHEEL});
}

InputNode combo(const std::string& path)
{
    InputNode combo = keyboard(path);
    combo.capabilities.events.set(EV_REL);
    for (unsigned code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        combo.capabilities.keys.set(code);
    for (unsigned code : {REL_X, REL_Y, REL_WHEEL})
        combo.capabilities.relative.set(code);
    return combo;
}

InputNode lidSwitch(const std::string& path)
{
    return node(path, {EV_SYN, EV_SW}, {}, {}, {}, {SW_LID});
}

} // namespace fake
