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

LockKeeper::Refusal LockKeeper::refusal(const std::string& seat) const
{
    if (m_lock)
        return Refusal::Busy;
    if (!hasPointer(seat))
        return Refusal::NoPointer;
    return Refusal::None;
}

LockKeeper::Refusal LockKeeper::take(const std::string& seat, KeyboardLock::TakenHandler taken,
                                     KeyboardLock::EndedHandler ended)
{
    if (const Refusal refused = refusal(seat); refused != Refusal::None)
        return refused;
    m_lock = std::make_unique<KeyboardLock>(m_loop, m_devices, m_timing);
    m_lockedSeat = seat;
    m_lock->take(
        keyboards(seat),
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
    if (role.keyboard && m_lock && node.seat == m_lockedSeat)
        m_lock->addKeyboard(node);
    if (role.pointer)
        countPointer(node.seat, +1);
}

void LockKeeper::nodeRemoved(const std::string& path)
{
    const auto found = m_nodes.find(path);
    if (found == m_nodes.end())
        return;
    const bool pointer = roleOf(found->second.capabilities).pointer;
    const std::string seat = found->second.seat;
    m_nodes.erase(found);
    if (m_lock)
        m_lock->removeNode(path);
    if (pointer)
        countPointer(seat, -1);
}

void LockKeeper::countPointer(const std::string& seat, int change)
{
    std::size_t& count = m_pointers[seat];
    if (change > 0)
        ++count;
    else if (count > 0)
        --count;
    const bool present = count > 0;
    const bool turned = present ? count == 1 && change > 0 : change < 0;
    if (!present)
        m_pointers.erase(seat);
    if (!turned)
        return;
    // Never locked with no way to click unlock.
    if (!present && m_lock && seat == m_lockedSeat)
        end();
    if (pointerPresenceChanged)
        pointerPresenceChanged();
}

std::vector<InputNode> LockKeeper::keyboards(const std::string& seat) const
{
    std::vector<InputNode> keyboards;
    for (const auto& [path, node] : m_nodes) {
        if (roleOf(node.capabilities).keyboard && node.seat == seat)
            keyboards.push_back(node);
    }
    return keyboards;
}

} // namespace lockd
