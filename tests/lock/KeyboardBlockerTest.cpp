#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"

#include <QTest>

using namespace platform;

class KeyboardBlockerTest : public QObject {
    Q_OBJECT

private:
    FakeKeyboardAccess* access = nullptr;
    FakeDesktop* desktop = nullptr;

    using Names = std::vector<std::string>;

private slots:
    void init()
    {
        access = new FakeKeyboardAccess;
        desktop = new FakeDesktop;
        overrideForTesting(access, desktop);
    }
    void cleanup()
    {
        overrideForTesting(nullptr, nullptr);
        delete access;
        delete desktop;
    }

    void newBlockerIsInactiveAndHoldsNothing()
    {
        KeyboardBlocker blocker;
        QVERIFY(!blocker.isActive());
        QVERIFY(!blocker.hasEventTap());
        QVERIFY(!blocker.hasRunLoopSource());
        QVERIFY(!blocker.didRequestPermission());
        QVERIFY(access->calls.empty());
    }

    // start()

    void startInstallsOneEnabledSessionTapForKeyEvents()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());

        QCOMPARE(access->callNames(),
                 (Names{"createTap", "createRunLoopSource", "addToMainLoop", "enableTap"}));
        QCOMPARE(access->calls[0].mask, EventMask(0x5C00));
        QCOMPARE(access->lastLocation, TapLocation::Session);
        QCOMPARE(access->lastPlacement, TapPlacement::HeadInsert);
        QCOMPARE(access->lastOptions, TapOptions::Default);
        QVERIFY(access->calls[3].enable);
        QVERIFY(blocker.isActive());
        QVERIFY(blocker.hasEventTap());
        QVERIFY(blocker.hasRunLoopSource());
        QVERIFY(access->isTapEnabled());
        QVERIFY(access->isSourceInstalled());
    }

    void startWhileActiveKeepsTheOneTap()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        const auto callsAfterFirst = access->calls.size();
        QVERIFY(blocker.start());
        QCOMPARE(access->calls.size(), callsAfterFirst);
        QCOMPARE(access->liveTapCount(), 1);
        QCOMPARE(access->liveSourceCount(), 1);
    }

    void aRefusedTapLeavesNothingAndMayBeTriedAgain()
    {
        KeyboardBlocker blocker;
        access->refuseTap = true;
        QVERIFY(!blocker.start());
        QCOMPARE(access->callNames(), Names{"createTap"});
        QVERIFY(!blocker.isActive());
        QVERIFY(!blocker.hasEventTap());
        QVERIFY(!blocker.hasRunLoopSource());

        access->refuseTap = false;
        QVERIFY(blocker.start());
        QVERIFY(blocker.isActive());
        QCOMPARE(access->count("createTap"), 2);
    }

    void aRefusedSourceReleasesTheTapAndLeavesNothing()
    {
        // A tap without a source would hold the keyboard with nobody to serve it.
        KeyboardBlocker blocker;
        access->refuseSource = true;
        QVERIFY(!blocker.start());
        QCOMPARE(access->liveTapCount(), 0);
        QCOMPARE(access->count("addToMainLoop"), 0);
        QCOMPARE(access->count("enableTap"), 0);
        QVERIFY(!blocker.isActive());
        QVERIFY(!blocker.hasEventTap());
        QVERIFY(!blocker.hasRunLoopSource());
    }

    // stop() and destruction

    void stopSwitchesOffRemovesAndReleasesInThatOrder()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        access->calls.clear();
        blocker.stop();

        QCOMPARE(access->callNames(),
                 (Names{"enableTap", "removeFromMainLoop", "releaseTap", "releaseSource"}));
        QVERIFY(!access->calls[0].enable);
        QVERIFY(!blocker.isActive());
        QVERIFY(!blocker.hasEventTap());
        QVERIFY(!blocker.hasRunLoopSource());
        QCOMPARE(access->liveTapCount(), 0);
        QCOMPARE(access->liveSourceCount(), 0);

        blocker.stop(); // a second stop has nothing left to do
        QCOMPARE(access->calls.size(), std::size_t(4));
        QVERIFY(blocker.start()); // and a new start makes a new tap
        QCOMPARE(access->count("createTap"), 1);
    }

    void stopOnAnInactiveBlockerDoesNothing()
    {
        KeyboardBlocker blocker;
        blocker.stop();
        QVERIFY(access->calls.empty());
    }

    void destroyingAnActiveBlockerGivesTheKeyboardBack()
    {
        {
            KeyboardBlocker blocker;
            QVERIFY(blocker.start());
        }
        QCOMPARE(access->liveTapCount(), 0);
        QCOMPARE(access->liveSourceCount(), 0);
        const Names names = access->callNames();
        const Names last(names.end() - 4, names.end());
        QCOMPARE(last, (Names{"enableTap", "removeFromMainLoop", "releaseTap", "releaseSource"}));
        QVERIFY(!access->calls[access->calls.size() - 4].enable);
    }

    // The tap callback

    void everyEventIsDeletedWhatever_data()
    {
        QTest::addColumn<EventType>("type");
        QTest::newRow("key down") << kEventKeyDown;
        QTest::newRow("key up") << kEventKeyUp;
        QTest::newRow("modifier") << kEventFlagsChanged;
        QTest::newRow("special key") << kEventSystemDefined;
        QTest::newRow("null event") << EventType(0);
        QTest::newRow("mouse down") << EventType(1);
        QTest::newRow("highest ordinary") << EventType(0xFFFFFFFDu);
    }
    void everyEventIsDeletedWhatever()
    {
        QFETCH(EventType, type);
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        access->calls.clear();
        QCOMPARE(access->deliver(type), nullptr);
        QVERIFY(access->calls.empty()); // no re-enable, nothing looked up
    }

    void aSwitchedOffTapIsSwitchedOnAgain_data()
    {
        QTest::addColumn<EventType>("type");
        QTest::newRow("timeout") << kEventTapDisabledByTimeout;
        QTest::newRow("user input") << kEventTapDisabledByUserInput;
    }
    void aSwitchedOffTapIsSwitchedOnAgain()
    {
        QFETCH(EventType, type);
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        access->calls.clear();
        QCOMPARE(access->deliver(type), nullptr);
        QCOMPARE(access->callNames(), Names{"enableTap"});
        QVERIFY(access->calls[0].enable);
        QVERIFY(blocker.isActive());
    }

    void aSwitchOffReachingABlockerWithoutATapChangesNothing()
    {
        KeyboardBlocker holder; // owns the live tap that carries the notification
        KeyboardBlocker idle;
        QVERIFY(holder.start());
        access->calls.clear();
        QCOMPARE(access->deliverWithContext(kEventTapDisabledByTimeout, &idle), nullptr);
        QVERIFY(access->calls.empty());
        QVERIFY(!idle.isActive());
    }

    void withoutAContextEveryEventPassesOn()
    {
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        access->calls.clear();
        for (EventType type : {kEventKeyDown, kEventKeyUp, kEventFlagsChanged, kEventSystemDefined,
                               kEventTapDisabledByTimeout, kEventTapDisabledByUserInput})
            QCOMPARE(access->deliverWithContext(type, nullptr), access->sampleEvent());
        QVERIFY(access->calls.empty());
    }

    // The permission request

    void theTrustPromptIsRequestedOncePerBlocker()
    {
        access->trusted = false;
        KeyboardBlocker blocker;
        QVERIFY(blocker.requestPermissionIfNeeded());
        QVERIFY(blocker.didRequestPermission());
        QVERIFY(!blocker.requestPermissionIfNeeded());
        QVERIFY(!blocker.requestPermissionIfNeeded());
        QCOMPARE(access->count("promptForTrust"), 1);
    }

    void aTrustedProcessIsNeverPrompted()
    {
        KeyboardBlocker blocker;
        QVERIFY(!blocker.requestPermissionIfNeeded());
        QVERIFY(!blocker.didRequestPermission());
        QCOMPARE(access->count("promptForTrust"), 0);

        access->trusted = false; // trust withdrawn later: the one prompt is still due
        QVERIFY(blocker.requestPermissionIfNeeded());
        QCOMPARE(access->count("promptForTrust"), 1);
    }
};

QTEST_GUILESS_MAIN(KeyboardBlockerTest)
#include "KeyboardBlockerTest.moc"
