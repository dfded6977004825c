// SPDX-License-Identifier: GPL-3.0-or-later

#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"

#include <QTest>

#include <memory>

using namespace platform;
using Names = std::vector<std::string>;

class KeyboardBlockerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeKeyboardAccess> access;
    FakeDesktop desktop;

    void verifyHoldsNothing(const KeyboardBlocker& blocker)
    {
        QVERIFY(!blocker.isActive() && !blocker.hasEventTap() && !blocker.hasRunLoopSource());
        QCOMPARE(access->liveTapCount() + access->liveSourceCount(), 0);
    }

private slots:
    void init()
    {
        access = std::make_unique<FakeKeyboardAccess>();
        overrideForTesting(access.get(), &desktop);
    }
    void cleanup() { overrideForTesting(nullptr, nullptr); }

    void startInstallsOneEnabledSessionTapForKeyEventsOnce()
    {
        KeyboardBlocker blocker;
        verifyHoldsNothing(blocker);
        QVERIFY(blocker.start());
        QVERIFY(blocker.start()); // already active: nothing more
        QCOMPARE(access->callNames(),
                 (Names{"createTap", "createRunLoopSource", "addToMainLoop", "enableTap"}));
        QCOMPARE(access->calls[0].mask, EventMask(0x5C00));
        QVERIFY(blocker.isActive() && blocker.hasEventTap() && blocker.hasRunLoopSource());
        QCOMPARE(access->liveTapCount(), 1);
    }

    void aRefusedTapOrSourceLeavesNothingAndMayBeTriedAgain_data()
    {
        QTest::addColumn<bool>("refuseSource");
        QTest::newRow("tap") << false;
        QTest::newRow("source") << true; // a tap nobody drains must not stay behind
    }
    void aRefusedTapOrSourceLeavesNothingAndMayBeTriedAgain()
    {
        QFETCH(bool, refuseSource);
        KeyboardBlocker blocker;
        access->refuseTap = !refuseSource;
        access->refuseSource = refuseSource;
        QVERIFY(!blocker.start());
        verifyHoldsNothing(blocker);
        access->refuseTap = access->refuseSource = false;
        QVERIFY(blocker.start());
    }

    void stopAndDestructionSwitchOffRemoveAndRelease_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("stop") << false;
        QTest::newRow("destruction") << true; // never leaves the keyboard locked behind it
    }
    void stopAndDestructionSwitchOffRemoveAndRelease()
    {
        QFETCH(bool, destroy);
        auto blocker = std::make_unique<KeyboardBlocker>();
        blocker->stop(); // nothing to stop yet
        QVERIFY(access->calls.empty());
        QVERIFY(blocker->start());
        access->calls.clear();

        if (destroy) {
            blocker.reset();
        } else {
            blocker->stop();
            verifyHoldsNothing(*blocker);
        }
        QCOMPARE(access->callNames(),
                 (Names{"enableTap", "removeFromMainLoop", "releaseTap", "releaseSource"}));
        QVERIFY(!access->calls[0].enable);
        QCOMPARE(access->liveTapCount() + access->liveSourceCount(), 0);
    }

    // Every event is deleted; the two switch-off notifications also switch the tap on
    // again. Nothing else is called from inside the callback.
    void theCallbackDeletesEveryEventAndReenablesASwitchedOffTap_data()
    {
        QTest::addColumn<EventType>("type");
        QTest::addColumn<bool>("reenables");
        QTest::newRow("key down") << kEventKeyDown << false;
        QTest::newRow("special key") << kEventSystemDefined << false;
        QTest::newRow("highest ordinary") << EventType(0xFFFFFFFDu) << false;
        QTest::newRow("timeout") << kEventTapDisabledByTimeout << true;
        QTest::newRow("user input") << kEventTapDisabledByUserInput << true;
    }
    void theCallbackDeletesEveryEventAndReenablesASwitchedOffTap()
    {
        QFETCH(EventType, type);
        QFETCH(bool, reenables);
        KeyboardBlocker blocker;
        KeyboardBlocker idle;
        QVERIFY(blocker.start());
        access->calls.clear();
        QCOMPARE(access->deliver(type), nullptr);
        QCOMPARE(access->callNames(), reenables ? Names{"enableTap"} : Names{});
        if (reenables)
            QVERIFY(access->calls[0].enable);
        QVERIFY(blocker.isActive());

        // Without a context the event passes on; a blocker without a tap changes nothing.
        QCOMPARE(access->deliverWithContext(type, nullptr), access->sampleEvent());
        QCOMPARE(access->deliverWithContext(type, &idle), nullptr);
        QCOMPARE(access->calls.size(), std::size_t(reenables ? 1 : 0));
        QVERIFY(!idle.isActive());
    }

    void aLockEndedByThePlatformIsLetGoAndReportedOnce()
    {
        KeyboardBlocker blocker;
        int reported = 0;
        blocker.onEndedByPlatform = [&] {
            QVERIFY(!blocker.isActive()); // already inactive when the owner hears of it
            ++reported;
        };
        QVERIFY(blocker.start());
        access->endLiveTapByPlatform();
        QCOMPARE(reported, 1);
        verifyHoldsNothing(blocker);
        QCOMPARE(KeyboardBlocker::tapCallback(nullptr, kEventTapEndedByPlatform, nullptr, &blocker),
                 nullptr);
        QCOMPARE(reported, 1);    // an inactive blocker has nothing left to end
        QVERIFY(blocker.start()); // and locks again on the next start
    }

    void theTrustPromptIsShownOncePerBlockerAndOnlyWhenUntrusted()
    {
        KeyboardBlocker blocker;
        QVERIFY(!blocker.requestPermissionIfNeeded());
        QVERIFY(!blocker.didRequestPermission());

        access->trusted = false; // withdrawn later: the one prompt is still due
        QVERIFY(blocker.requestPermissionIfNeeded());
        QVERIFY(blocker.didRequestPermission());
        QVERIFY(!blocker.requestPermissionIfNeeded());
        QCOMPARE(access->count("promptForTrust"), 1);
    }
};

QTEST_GUILESS_MAIN(KeyboardBlockerTest)
#include "KeyboardBlockerTest.moc"
