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
};

QTEST_GUILESS_MAIN(KeyboardBlockerTest)
#include "KeyboardBlockerTest.moc"
