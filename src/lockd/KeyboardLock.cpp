// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/KeyboardLock.h"

#include "lockd/DeviceRole.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace lockd {

struct KeyboardLock::Held {
    KeyboardLock* lock = nullptr;
    InputNode node;
    std::unique_ptr<InputDevice> device;
    std::unique_ptr<VirtualPointer> pointer; // keyboards that are pointers too
    EventSource readable;
    EventSource keysUpDeadline; // armed while waiting for its keys to come up
    bool grabbed = false;
    bool frameOpen = false; // pointer events passed on since the last SYN_REPORT
};

namespace {

std::string describe(const std::string& what, const InputNode& node, int error)
{
    return what + " " + node.name + " (" + node.path + "): " + std::strerror(error);
}

} // namespace

KeyboardLock::KeyboardLock(sd_event* loop, DeviceLayer& devices, Timing timing)
    : m_loop(loop), m_devices(devices), m_timing(timing)
{
}

// Closing the devices releases their grabs; the loop is gone or stopping, so nothing waits.
KeyboardLock::~KeyboardLock() = default;

void KeyboardLock::take(const std::vector<InputNode>& keyboards, TakenHandler taken,
                        EndedHandler ended)
{
    m_taken = std::move(taken);
    m_ended = std::move(ended);
    for (const InputNode& node : keyboards) {
        if (m_phase != Phase::Taking)
            break;
        hold(node);
    }
    settleAll();
}

void KeyboardLock::addKeyboard(const InputNode& node)
{
    if (m_phase == Phase::Ending || m_phase == Phase::Done)
        return;
    for (const auto& held : m_held) {
        if (held->node.path == node.path)
            return;
    }
    hold(node);
    settleAll();
}

void KeyboardLock::removeNode(const std::string& path)
{
    for (const auto& held : m_held) {
        if (held->node.path == path) {
            drop(*held);
            settleAll();
            return;
        }
    }
}

void KeyboardLock::end()
{
    lose(Result::Ended, "the lock was given up");
    settleAll();
}

bool KeyboardLock::madeDevice(const std::string& parent) const
{
    for (const auto& held : m_held) {
        if (held->pointer && held->pointer->parent() == parent)
            return true;
    }
    return false;
}

void KeyboardLock::hold(const InputNode& node)
{
    Opened<InputDevice> opened = m_devices.open(node);
    if (!opened.device) {
        if (opened.error != ENOENT && opened.error != ENODEV) // else unplugged meanwhile
            lose(Result::Failed, describe("cannot open", node, opened.error));
        return;
    }
    auto held = std::make_unique<Held>();
    held->lock = this;
    held->node = node;
    held->device = std::move(opened.device);
    // Grabbing a combined receiver takes its pointer from everyone: a virtual pointer of
    // ours, which is never grabbed, carries its motion and clicks on.
    if (roleOf(node.capabilities).pointer) {
        Opened<VirtualPointer> pointer = m_devices.createVirtualPointer(node, *held->device);
        if (!pointer.device) {
            lose(Result::Failed,
                 describe("cannot make a pointer to stand in for", node, pointer.error));
            return;
        }
        held->pointer = std::move(pointer.device);
    }
    sd_event_source* source = nullptr;
    const int added = sd_event_add_io(
        m_loop, &source, held->device->fd(), EPOLLIN,
        [](sd_event_source*, int, uint32_t revents, void* data) {
            auto* held = static_cast<Held*>(data);
            held->lock->readDevice(*held, revents);
            return 0;
        },
        held.get());
    if (added < 0) {
        lose(Result::Failed, describe("cannot watch", node, -added));
        return;
    }
    held->readable.reset(source);
    m_held.push_back(std::move(held));
}

// Brings every keyboard to the state the lock wants now, as far as its keys allow, and
// moves on when all are there. A keyboard that fails turns the lock to ending, so loop
// until the wanted state holds still.
void KeyboardLock::settleAll()
{
    Phase phase;
    do {
        phase = m_phase;
        for (const auto& held : m_held)
            settle(*held);
    } while (phase != m_phase);
    checkProgress();
}

void KeyboardLock::settle(Held& held)
{
    const bool want = wantsGrabbed();
    if (held.grabbed == want) {
        held.keysUpDeadline.reset();
        return;
    }
    // A key that changes hands while down stays down (and repeats) for whoever saw only its
    // press: wait for the release, which arrives as an event and brings us back here.
    if (held.device->anyKeyDown()) {
        waitForKeysUp(held);
        return;
    }
    if (!want) {
        held.device->setGrabbed(false);
        held.grabbed = false;
        held.keysUpDeadline.reset();
        return;
    }
    if (const int error = held.device->setGrabbed(true)) {
        lose(error == EBUSY ? Result::Busy : Result::Failed,
             describe(error == EBUSY ? "another program holds" : "cannot grab", held.node, error));
        return;
    }
    // Pressed between the check and the grab: the others saw the press, so they must see
    // the release too. Let go, and grab once it is up.
    if (held.device->anyKeyDown()) {
        held.device->setGrabbed(false);
        waitForKeysUp(held);
        return;
    }
    held.grabbed = true;
    held.keysUpDeadline.reset();
    held.frameOpen = false;
    // What waits now was read by everyone before the grab: never pass it on.
    std::array<input_event, 64> stale;
    while (held.device->read(stale) > 0) {
    }
}

void KeyboardLock::waitForKeysUp(Held& held)
{
    if (held.keysUpDeadline)
        return;
    sd_event_source* source = nullptr;
    const int added = sd_event_add_time_relative(
        m_loop, &source, CLOCK_MONOTONIC, m_timing.keysUpWaitUsec, 0,
        [](sd_event_source*, uint64_t, void* data) {
            auto* held = static_cast<Held*>(data);
            KeyboardLock* lock = held->lock;
            lock->giveUpWaiting(*held);
            lock->settleAll();
            return 0;
        },
        &held);
    if (added < 0)
        giveUpWaiting(held);
    else
        held.keysUpDeadline.reset(source);
}

void KeyboardLock::giveUpWaiting(Held& held)
{
    held.keysUpDeadline.reset();
    if (wantsGrabbed()) {
        lose(Result::KeyHeld,
             "a key stays down on " + held.node.name + " (" + held.node.path + ")");
    } else if (held.grabbed) {
        // Never keep a keyboard past the wait, even with a key down.
        held.device->setGrabbed(false);
        held.grabbed = false;
    }
}

// A lock still being taken fails with `why`; a held one that cannot hold every keyboard
// any more is no lock and ends (its holder sees the hang-up).
void KeyboardLock::lose(Result why, const std::string& detail)
{
    if (m_phase == Phase::Ending || m_phase == Phase::Done)
        return;
    if (m_phase == Phase::Taking) {
        m_failure = why;
        m_failureDetail = detail;
    }
    m_phase = Phase::Ending;
    m_holderWatch.reset();
    m_heartbeat.reset();
    m_readPause.reset();
}

void KeyboardLock::readDevice(Held& held, uint32_t revents)
{
    std::array<input_event, 64> events;
    for (;;) {
        const ssize_t count = held.device->read(events);
        if (count == 0)
            break;
        if (count < 0) {
            drop(held); // unplugged
            settleAll();
            return;
        }
        // Keys are read and dropped: the kernel's buffer stays empty and nothing is kept.
        if (held.grabbed && held.pointer)
            forward(held, std::span(events.data(), std::size_t(count)));
    }
    if (revents & (EPOLLHUP | EPOLLERR)) {
        drop(held);
        settleAll();
        return;
    }
    settleAll();
}

void KeyboardLock::forward(Held& held, std::span<const input_event> events)
{
    std::array<input_event, 64> pointerEvents;
    std::size_t count = 0;
    for (const input_event& event : events) {
        if (!isPointerEvent(event))
            continue;
        const bool frameEnd = event.type == EV_SYN && event.code == SYN_REPORT;
        if (frameEnd && !held.frameOpen)
            continue; // a frame of keys alone
        pointerEvents[count++] = event;
        held.frameOpen = !frameEnd;
    }
    if (count > 0)
        held.pointer->write(std::span(pointerEvents.data(), count));
}

void KeyboardLock::drop(Held& held)
{
    std::erase_if(m_held, [&held](const auto& entry) { return entry.get() == &held; });
}

void KeyboardLock::checkProgress()
{
    const bool want = wantsGrabbed();
    for (const auto& held : m_held) {
        if (held->grabbed != want)
            return;
    }
    if (m_phase == Phase::Taking)
        handOut();
    else if (m_phase == Phase::Held)
        tellHolder();
    else if (m_phase == Phase::Ending)
        finish();
}

void KeyboardLock::handOut()
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        lose(Result::Failed,
             std::string("cannot make the lock's descriptor: ") + std::strerror(errno));
        settleAll();
        return;
    }
    m_ownEnd.reset(ends[0]);
    m_holderEnd.reset(ends[1]);
    ::fcntl(m_ownEnd.get(), F_SETFL, ::fcntl(m_ownEnd.get(), F_GETFL) | O_NONBLOCK);

    sd_event_source* watch = nullptr;
    sd_event_source* heartbeat = nullptr;
    sd_event_source* pause = nullptr;
    if (sd_event_add_io(
            m_loop, &watch, m_ownEnd.get(), EPOLLIN,
            [](sd_event_source*, int, uint32_t revents, void* data) {
                static_cast<KeyboardLock*>(data)->readHolder(revents);
                return 0;
            },
            this) < 0 ||
        sd_event_add_time_relative(
            m_loop, &heartbeat, CLOCK_MONOTONIC, m_timing.heartbeatTimeoutUsec, 0,
            [](sd_event_source*, uint64_t, void* data) {
                static_cast<KeyboardLock*>(data)->heartbeatMissed();
                return 0;
            },
            this) < 0 ||
        sd_event_add_time_relative(
            m_loop, &pause, CLOCK_MONOTONIC, readPauseUsec(), 0,
            [](sd_event_source*, uint64_t, void* data) {
                auto* lock = static_cast<KeyboardLock*>(data);
                sd_event_source_set_enabled(lock->m_holderWatch.get(), SD_EVENT_ON);
                return 0;
            },
            this) < 0) {
        sd_event_source_disable_unref(watch);
        sd_event_source_disable_unref(heartbeat);
        lose(Result::Failed, "cannot watch the lock's descriptor");
        settleAll();
        return;
    }
    m_holderWatch.reset(watch);
    m_heartbeat.reset(heartbeat);
    m_readPause.reset(pause);
    sd_event_source_set_enabled(pause, SD_EVENT_OFF);
    m_phase = Phase::Held;
    post([this, taken = std::exchange(m_taken, nullptr)] {
        taken(Result::Locked, std::move(m_holderEnd), {});
    });
}

// Nothing the holder writes is parsed: any packet is a heartbeat. After one, the
// descriptor is left alone until the next tick, so that a holder writing as fast as it can
// costs a read per tick rather than the loop's whole time; its writes then wait on a full
// buffer, and its hang-up is seen at that tick.
void KeyboardLock::readHolder(uint32_t revents)
{
    bool beat = false;
    bool closed = false;
    for (int packets = 0; packets < 16; ++packets) {
        char bytes[16];
        const ssize_t count = ::recv(m_ownEnd.get(), bytes, sizeof bytes, MSG_DONTWAIT);
        if (count > 0) {
            beat = true;
            continue;
        }
        closed = count == 0 || (errno != EAGAIN && errno != EINTR);
        break;
    }
    if (closed || (!beat && (revents & (EPOLLHUP | EPOLLERR)))) {
        end(); // the holder closed its end, or died
        return;
    }
    if (!beat)
        return;
    sd_event_source_set_enabled(m_holderWatch.get(), SD_EVENT_OFF);
    sd_event_source_set_time_relative(m_readPause.get(), readPauseUsec());
    sd_event_source_set_enabled(m_readPause.get(), SD_EVENT_ONESHOT);
    sd_event_source_set_time_relative(m_heartbeat.get(), m_timing.heartbeatTimeoutUsec);
    sd_event_source_set_enabled(m_heartbeat.get(), SD_EVENT_ONESHOT);
    if (m_stalled) {
        m_stalled = false; // nothing typed meanwhile was kept, so nothing is replayed
        settleAll();
    }
}

uint64_t KeyboardLock::readPauseUsec() const
{
    return std::min<uint64_t>(100'000, m_timing.heartbeatTimeoutUsec / 8);
}

// Tells the holder, once every keyboard is where the lock wants it, whether they were
// given back for a missed heartbeat ('R') or are held again ('L'). Never waits: a holder
// that reads nothing loses the message, not the service its loop.
void KeyboardLock::tellHolder()
{
    const char state = m_stalled ? 'R' : 'L';
    if (state == m_told || !m_ownEnd)
        return;
    m_told = state;
    ::send(m_ownEnd.get(), &state, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
}

// The holder's main loop stopped: give the keyboard back rather than lock the user out,
// and take it again at the next byte.
void KeyboardLock::heartbeatMissed()
{
    m_stalled = true;
    settleAll();
}

void KeyboardLock::finish()
{
    m_phase = Phase::Done;
    m_held.clear();
    m_ownEnd.reset(); // every keyboard is free: now the holder may see the hang-up
    if (m_taken) {
        post([taken = std::exchange(m_taken, nullptr), failure = m_failure,
              detail = m_failureDetail] { taken(failure, UniqueFd(), detail); });
    } else if (m_ended) {
        post([ended = std::exchange(m_ended, nullptr)] { ended(); });
    }
}

// Runs `call` from the loop, so that it may destroy this lock.
void KeyboardLock::post(std::function<void()> call)
{
    using Call = std::function<void()>;
    auto* stored = new Call(std::move(call));
    sd_event_source* source = nullptr;
    if (sd_event_add_defer(
            m_loop, &source,
            [](sd_event_source*, void* data) {
                Call run = std::move(*static_cast<Call*>(data));
                run();
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

} // namespace lockd
