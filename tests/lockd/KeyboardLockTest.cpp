// SPDX-License-Identifier: GPL-3.0-or-later

// The lock against stand-in devices: what it grabs, when, and when it lets go.
#include "support/lockd/FakeDeviceLayer.h"
#include "lockd/LockKeeper.h"

#include <QElapsedTimer>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using lockd::KeyboardLock;
using lockd::LockKeeper;
using Result = KeyboardLock::Result;

namespace {

// Short, so that the stalls and waits below take a fraction of a second.
constexpr KeyboardLock::Timing kTiming{300'000, 150'000};
const std::string kKeyboard = "/dev/input/event1";
const std::string kMouse = "/dev/input/event2";
const std::string kOther = "/dev/input/event3";

} // namespace

class KeyboardLockTest : public QObject {
    Q_OBJECT

private:
    lockd::EventLoop loop;
    std::unique_ptr<FakeDeviceLayer> devices;
    std::unique_ptr<LockKeeper> keeper;
    std::optional<Result> result;
    std::string why;
    lockd::UniqueFd holderEnd;
    bool ended = false;
    int presenceChanges = 0;

    bool runUntil(const std::function<bool()>& done, int timeoutMs = 3000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            sd_event_run(loop.get(), 5'000);
        }
        return true;
    }
    void runFor(int ms)
    {
        runUntil([] { return false; }, ms);
    }
    void startKeeper(std::initializer_list<lockd::InputNode> nodes)
    {
        for (const lockd::InputNode& node : nodes)
            devices->add(node);
        QVERIFY(keeper->start());
    }
    LockKeeper::Refusal take()
    {
        return keeper->take(
            "seat0",
            [this](Result taken, lockd::UniqueFd fd, const std::string& reason) {
                result = taken;
                holderEnd = std::move(fd);
                why = reason;
            },
            [this] { ended = true; });
    }
    void lock()
    {
        QCOMPARE(take(), LockKeeper::Refusal::None);
        QVERIFY(runUntil([this] { return result.has_value(); }));
        QCOMPARE(*result, Result::Locked);
        QVERIFY(holderEnd);
    }
    void beat() { QCOMPARE(::write(holderEnd.get(), "b", 1), ssize_t(1)); }
    // What the service told the holder since the last look: 'R', 'L', or nothing.
    QByteArray told()
    {
        QByteArray said;
        char byte = 0;
        while (::recv(holderEnd.get(), &byte, 1, MSG_DONTWAIT) == 1)
            said.append(byte);
        return said;
    }
    bool hungUp() const
    {
        pollfd watched{holderEnd.get(), POLLIN, 0};
        return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP);
    }
    void unlock()
    {
        holderEnd.reset();
        QVERIFY(runUntil([this] { return ended; }));
    }

private slots:
    void init()
    {
        sd_event* created = nullptr;
        QCOMPARE(sd_event_new(&created), 0);
        loop.reset(created);
        devices = std::make_unique<FakeDeviceLayer>();
        keeper = std::make_unique<LockKeeper>(loop.get(), *devices, kTiming);
        keeper->pointerPresenceChanged = [this] {
            ++presenceChanges;
        };
        result.reset();
        why.clear();
        holderEnd.reset();
        ended = false;
        presenceChanges = 0;
    }
    void cleanup()
    {
        keeper.reset();
        devices.reset();
        holderEnd.reset();
        loop.reset();
    }

    void locksEveryKeyboardAndNothingElseForAsLongAsTheDescriptorIsOpen()
    {
        const std::string power = "/dev/input/event4", lid = "/dev/input/event5";
        lockd::InputNode elsewhere = fake::keyboard(kOther);
        elsewhere.seat = "seat1";
        startKeeper({fake::keyboard(kKeyboard), fake::mouse(kMouse),
                     fake::node(power, {EV_KEY}, {KEY_POWER}), fake::lidSwitch(lid), elsewhere});
        lock();
        QVERIFY(devices->isGrabbed(kKeyboard) && devices->isGrabbed(power));
        QVERIFY(!devices->isGrabbed(kMouse) && !devices->isGrabbed(lid));
        QVERIFY(!devices->isGrabbed(kOther)); // another seat's

        devices->press(kKeyboard, KEY_A);
        devices->release(kKeyboard, KEY_A);
        devices->move(kMouse, 3, 4);
        runFor(50);
        QCOMPARE(devices->reachedOthers(kKeyboard), 0);
        QCOMPARE(devices->reachedOthers(kMouse), 3);
        QVERIFY(devices->forwarded().empty()); // keys go nowhere
        QVERIFY(!hungUp());

        unlock();
        QCOMPARE(devices->grabbedCount(), 0);
        devices->press(kKeyboard, KEY_B);
        QCOMPARE(devices->reachedOthers(kKeyboard), 3);
    }

    // Nobody may be left with a key that went down before the grab and up after it.
    void aKeyHeldWhenLockingIsWaitedForAndOneHeldTooLongFailsTheLock()
    {
        startKeeper({fake::keyboard(kKeyboard), fake::keyboard(kOther), fake::mouse(kMouse)});
        devices->press(kKeyboard, KEY_LEFTSHIFT);
        QCOMPARE(take(), LockKeeper::Refusal::None);
        runFor(60);
        QVERIFY(!result && !devices->isGrabbed(kKeyboard));
        devices->release(kKeyboard, KEY_LEFTSHIFT);
        QVERIFY(runUntil([this] { return result.has_value(); }));
        QCOMPARE(*result, Result::Locked);
        QCOMPARE(devices->reachedOthers(kKeyboard), 5); // its press and its release
        unlock();

        // Down in the moment between the check and the grab: the others saw the press, so
        // the grab is let go until they have seen the release as well.
        result.reset();
        ended = false;
        devices->pressAtGrab(kKeyboard, KEY_LEFTCTRL);
        QCOMPARE(take(), LockKeeper::Refusal::None);
        runFor(60);
        QVERIFY(!result && !devices->isGrabbed(kKeyboard));
        devices->release(kKeyboard, KEY_LEFTCTRL);
        QVERIFY(runUntil([this] { return result.has_value(); }));
        QCOMPARE(*result, Result::Locked);
        QCOMPARE(devices->reachedOthers(kKeyboard), 9);
        unlock();

        result.reset();
        ended = false;
        devices->press(kOther, KEY_SPACE);
        QCOMPARE(take(), LockKeeper::Refusal::None);
        QVERIFY(runUntil([this] { return result.has_value(); }));
        QCOMPARE(*result, Result::KeyHeld);
        QVERIFY(why.find(kOther) != std::string::npos);
        QVERIFY(!holderEnd);
        QCOMPARE(devices->grabbedCount(), 0);
        QVERIFY(!keeper->isLocked());
    }

    void unlockingWaitsForKeysUpButNeverKeepsTheKeyboard()
    {
        startKeeper({fake::keyboard(kKeyboard), fake::mouse(kMouse)});
        lock();
        devices->press(kKeyboard, KEY_ENTER);
        holderEnd.reset();
        runFor(60);
        QVERIFY(devices->isGrabbed(kKeyboard) && !ended);
        devices->release(kKeyboard, KEY_ENTER);
        QVERIFY(runUntil([this] { return ended; }));
        QCOMPARE(devices->grabbedCount(), 0);
        QCOMPARE(devices->reachedOthers(kKeyboard), 0); // neither its press nor its release

        result.reset();
        ended = false;
        lock();
        devices->press(kKeyboard, KEY_ENTER); // a cloth resting on a key
        QElapsedTimer timer;
        timer.start();
        holderEnd.reset();
        QVERIFY(runUntil([this] { return ended; }));
        QCOMPARE_GE(timer.elapsed(), 140);
        QCOMPARE(devices->grabbedCount(), 0);
    }

    void aKeyboardThatCannotBeHeldFailsTheLockWithNothingLeftGrabbed_data()
    {
        QTest::addColumn<bool>("heldByOther");
        QTest::addColumn<int>("expected");
        QTest::newRow("another program holds it (EBUSY)") << true << int(Result::Busy);
        QTest::newRow("it cannot be opened") << false << int(Result::Failed);
    }
    void aKeyboardThatCannotBeHeldFailsTheLockWithNothingLeftGrabbed()
    {
        QFETCH(bool, heldByOther);
        QFETCH(int, expected);
        // The paths sort so that the keyboard that can be grabbed is taken first.
        startKeeper({fake::keyboard(kKeyboard), fake::keyboard(kOther), fake::mouse(kMouse)});
        if (heldByOther)
            devices->holdByOther(kOther, true);
        else
            devices->failOpen(kOther, EACCES);
        QCOMPARE(take(), LockKeeper::Refusal::None);
        QVERIFY(runUntil([this] { return result.has_value(); }));
        QCOMPARE(int(*result), expected);
        QVERIFY(why.find(kOther) != std::string::npos);
        QCOMPARE(devices->grabbedCount(), 0);
        QVERIFY(!holderEnd && !keeper->isLocked());
    }

    void aStalledHolderGetsTheKeyboardBackUntilItsNextByte()
    {
        startKeeper({fake::keyboard(kKeyboard), fake::mouse(kMouse)});
        lock();
        for (int i = 0; i < 4; ++i) { // beating: held throughout
            runFor(150);
            beat();
        }
        QVERIFY(devices->isGrabbed(kKeyboard));
        QCOMPARE(told(), QByteArray());
        QVERIFY(runUntil([this] { return !devices->isGrabbed(kKeyboard); }, 600));
        QCOMPARE(told(), QByteArray("R"));
        devices->press(kKeyboard, KEY_Q);
        devices->release(kKeyboard, KEY_Q);
        QCOMPARE(devices->reachedOthers(kKeyboard), 5);
        beat();
        QVERIFY(runUntil([this] { return devices->isGrabbed(kKeyboard); }));
        QCOMPARE(told(), QByteArray("L"));
        devices->press(kKeyboard, KEY_W);
        devices->release(kKeyboard, KEY_W);
        runFor(50);
        QCOMPARE(devices->reachedOthers(kKeyboard), 5);
        QVERIFY(devices->forwarded().empty()); // nothing typed during the stall comes back
        QVERIFY(!hungUp() && !ended);
    }

    // A holder writing as fast as it can is read once a tick: its writes soon wait on a
    // full buffer instead of keeping the service busy, and the lock holds.
    void aFloodingHolderIsReadOnceATick()
    {
        startKeeper({fake::keyboard(kKeyboard), fake::mouse(kMouse)});
        lock();
        ::fcntl(holderEnd.get(), F_SETFL, O_NONBLOCK);
        long written = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 400) {
            while (::send(holderEnd.get(), "b", 1, MSG_DONTWAIT) == 1)
                ++written;
            sd_event_run(loop.get(), 1'000);
        }
        // About 11 ticks of 16 packets, beyond what the socket buffers; unbounded, the
        // service took tens of thousands.
        QVERIFY2(written < 2'000, qPrintable(QString::number(written)));
        QVERIFY(devices->isGrabbed(kKeyboard) && !ended);
    }

    void keyboardsPluggedInDuringALockAreGrabbedAtOnceOrEndIt()
    {
        startKeeper({fake::keyboard(kKeyboard), fake::mouse(kMouse)});
        lock();
        devices->add(fake::keyboard(kOther));
        QVERIFY(devices->isGrabbed(kOther));
        devices->press(kOther, KEY_Z);
        devices->release(kOther, KEY_Z);
        QCOMPARE(devices->reachedOthers(kOther), 0);
        devices->unplug(kOther);
        runFor(20);
        QVERIFY(!ended && !hungUp());

        // One that another program holds cannot be locked: the lock ends rather than lie.
        devices->add(fake::keyboard("/dev/input/event9"), true);
        QVERIFY(runUntil([this] { return ended; }));
        QVERIFY(hungUp());
        QCOMPARE(devices->grabbedCount(), 0);
    }

    void noPointerMeansNoLockAndTheLastPointerGoingEndsIt()
    {
        lockd::InputNode elsewhere = fake::mouse(kOther);
        elsewhere.seat = "seat1";
        startKeeper({fake::keyboard(kKeyboard), elsewhere});
        QCOMPARE(take(), LockKeeper::Refusal::NoPointer); // another seat's mouse is no help
        QCOMPARE(devices->grabbedCount(), 0);
        presenceChanges = 0;
        devices->add(fake::mouse(kMouse));
        QCOMPARE(presenceChanges, 1);
        lock();
        devices->unplug(kMouse);
        QCOMPARE(presenceChanges, 2);
        QVERIFY(runUntil([this] { return ended; }));
        QVERIFY(hungUp());
        QCOMPARE(devices->grabbedCount(), 0);
    }

    void aComboKeepsItsPointerThroughAVirtualOneThatIsNeverCounted()
    {
        const std::string combo = kKeyboard;
        startKeeper({fake::combo(combo)}); // the only pointer there is
        lock();
        presenceChanges = 0;
        QVERIFY(devices->isGrabbed(combo));
        QCOMPARE(devices->virtualPointerCount(), 1);
        runFor(20); // the virtual pointer is announced, and neither grabbed nor counted
        QCOMPARE(devices->grabbedCount(), 1);
        QCOMPARE(presenceChanges, 0);

        devices->move(combo, 5, -2);
        devices->press(combo, KEY_A);
        devices->release(combo, KEY_A);
        devices->press(combo, BTN_LEFT);
        devices->release(combo, BTN_LEFT);
        runFor(50);
        QCOMPARE(devices->reachedOthers(combo), 0);
        std::vector<std::pair<unsigned, unsigned>> forwarded;
        for (const input_event& event : devices->forwarded())
            forwarded.emplace_back(event.type, event.code);
        const std::vector<std::pair<unsigned, unsigned>> expected{
            {EV_REL, REL_X},      {EV_REL, REL_Y},    {EV_SYN, SYN_REPORT}, {EV_KEY, BTN_LEFT},
            {EV_SYN, SYN_REPORT}, {EV_KEY, BTN_LEFT}, {EV_SYN, SYN_REPORT}};
        QVERIFY(forwarded == expected); // no key, no scan code, no empty frame

        devices->unplug(combo); // the last real pointer: the virtual one does not count
        QVERIFY(!keeper->hasPointer("seat0"));
        QVERIFY(runUntil([this] { return ended; }));
        QCOMPARE(devices->virtualPointerCount(), 0);
    }
};

QTEST_GUILESS_MAIN(KeyboardLockTest)
#include "KeyboardLockTest.moc"
