// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/LockKeeper.h"

namespace lockd {

LockKeeper::LockKeeper(sd_event* loop, DeviceLayer& devices, KeyboardLock::Timing timing)
    : m_loop(loop), m_devices(devices), m_timing(timing)
{
}

LockKeeper::~LockKeeper() = default;

bool LockKeeper::start()
{
    // Watch first, so that nothing plugged in while listing is missed; a node reported
    // twice is kept once.
    if (!m_devices.watch(m_loop, *this))
        return false;
    for (const InputNode& node : m_devices.enumerate())
        nodeAdded(node);
    return true;
}

LockKeeper::Refusal LockKeeper::refusal() const
{
    if (m_lock)
        return Refusal::Busy;
    if (!hasPointer())
        return Refusal::NoPointer;
    return Refusal::None;
}

LockKeeper::Refusal LockKeeper::take(KeyboardLock::TakenHandler taken,
                                     KeyboardLock::EndedHandler ended)
{
    if (const Refusal refused = refusal(); refused != Refusal::None)
        return refused;
    m_lock = std::make_unique<KeyboardLock>(m_loop, m_devices, m_timing);
    m_lock->take(
        keyboards(),
        [this, taken](KeyboardLock::Result result, UniqueFd holderEnd, const std::string& why) {
            if (result != KeyboardLock::Result::Locked)
                m_lock.reset();
            taken(result, std::move(holderEnd), why);
        },
        [this, ended] {
            m_lock.reset();
            ended();
        });
    return Refusal::None;
}

void LockKeeper::end()
{
    if (m_lock)
        m_lock->end();
}

void LockKeeper::nodeAdded(const InputNode& node)
{
    // The virtual pointers of a lock are neither grabbed nor counted: they exist only
    // while the combined device they stand in for does.
    if (m_lock && m_lock->madeDevice(node.parent))
        return;
    const DeviceRole role = roleOf(node.capabilities);
    if (!role.keyboard && !role.pointer)
        return; // switches (lid), joysticks, sound jacks: left alone
    if (!m_nodes.emplace(node.path, node).second)
        return;
    if (role.keyboard && m_lock)
        m_lock->addKeyboard(node);
    if (role.pointer)
        setPointers(m_pointers + 1);
}

void LockKeeper::nodeRemoved(const std::string& path)
{
    const auto found = m_nodes.find(path);
    if (found == m_nodes.end())
        return;
    const bool pointer = roleOf(found->second.capabilities).pointer;
    m_nodes.erase(found);
    if (m_lock)
        m_lock->removeNode(path);
    if (pointer)
        setPointers(m_pointers - 1);
}

void LockKeeper::setPointers(std::size_t count)
{
    const bool had = hasPointer();
    m_pointers = count;
    if (had == hasPointer())
        return;
    // Never locked with no way to click unlock.
    if (!hasPointer())
        end();
    if (pointerPresenceChanged)
        pointerPresenceChanged();
}

std::vector<InputNode> LockKeeper::keyboards() const
{
    std::vector<InputNode> keyboards;
    for (const auto& [path, node] : m_nodes) {
        if (roleOf(node.capabilities).keyboard)
            keyboards.push_back(node);
    }
    return keyboards;
}

} // namespace lockd
