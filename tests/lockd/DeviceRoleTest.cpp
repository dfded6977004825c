// SPDX-License-Identifier: GPL-3.0-or-later

// Which event nodes a lock grabs, and which count as a pointing device to unlock with.
#include "lockd/DeviceRole.h"
#include "support/lockd/FakeDeviceLayer.h"

#include <QTest>

using lockd::InputNode;

Q_DECLARE_METATYPE(InputNode)

class DeviceRoleTest : public QObject {
    Q_OBJECT

private slots:
    void nodesAreJudgedByTheirCapabilities_data()
    {
        QTest::addColumn<InputNode>("node");
        QTest::addColumn<bool>("keyboard");
        QTest::addColumn<bool>("pointer");
        const std::string p = "/dev/input/event0";
        QTest::newRow("keyboard") << fake::keyboard(p) << true << false;
        QTest::newRow("power button") << fake::node(p, {EV_KEY}, {KEY_POWER}) << true << false;
        QTest::newRow("consumer control")
            << fake::node(p, {EV_KEY, EV_REL}, {KEY_VOLUMEUP, KEY_PLAYPAUSE}, {REL_HWHEEL}) << true
            << false;
        // Keys at or above KEY_OK only (a remote, hot keys), no ordinary key.
        QTest::newRow("keys above KEY_OK")
            << fake::node(p, {EV_KEY}, {KEY_OK, KEY_PROGRAM}) << true << false;
        QTest::newRow("mouse") << fake::mouse(p) << false << true;
        QTest::newRow("touchpad") << fake::node(
                                         p, {EV_KEY, EV_ABS},
                                         {BTN_LEFT, BTN_TOOL_FINGER, BTN_TOUCH}, {},
                                         {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y})
                                  << false << true;
        QTest::newRow("touchscreen, multi-touch axes only")
            << fake::node(p, {EV_KEY, EV_ABS}, {BTN_TOUCH}, {},
                          {ABS_MT_POSITION_X, ABS_MT_POSITION_Y})
            << false << true;
        QTest::newRow("tablet") << fake::node(p, {EV_KEY, EV_ABS}, {BTN_TOOL_PEN, BTN_STYLUS}, {},
                                              {ABS_X, ABS_Y, ABS_PRESSURE})
                                << false << true;
        QTest::newRow("absolute mouse of a virtual machine")
            << fake::node(p, {EV_KEY, EV_ABS}, {BTN_LEFT, BTN_RIGHT}, {}, {ABS_X, ABS_Y}) << false
            << true;
        QTest::newRow("combined receiver") << fake::combo(p) << true << true;
        QTest::newRow("lid switch") << fake::lidSwitch(p) << false << false;
        // Its keys would reach the desktop if it were left alone: grabbed, switch and all.
        QTest::newRow("keys and a lid switch")
            << fake::node(p, {EV_KEY, EV_SW}, {KEY_POWER, KEY_SLEEP}, {}, {}, {SW_LID}) << true
            << false;
        QTest::newRow("gamepad") << fake::node(p, {EV_KEY, EV_ABS}, {BTN_A, BTN_B, BTN_START}, {},
                                               {ABS_X, ABS_Y})
                                 << false << false;
        QTest::newRow("joystick extra buttons")
            << fake::node(p, {EV_KEY}, {BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY2}) << false << false;
        QTest::newRow("accelerometer")
            << fake::node(p, {EV_ABS}, {}, {}, {ABS_X, ABS_Y, ABS_Z}) << false << false;
        QTest::newRow("key bits without EV_KEY")
            << fake::node(p, {EV_SYN}, {KEY_A}) << false << false;
    }
    void nodesAreJudgedByTheirCapabilities()
    {
        QFETCH(InputNode, node);
        QFETCH(bool, keyboard);
        QFETCH(bool, pointer);
        const lockd::DeviceRole role = lockd::roleOf(node.capabilities);
        QCOMPARE(role.keyboard, keyboard);
        QCOMPARE(role.pointer, pointer);
    }

    // A combined receiver's virtual pointer repeats pointing and nothing of the keys.
    void onlyPointerEventsArePassedOn()
    {
        auto passes = [](unsigned type, unsigned code) {
            return lockd::isPointerEvent({{}, __u16(type), __u16(code), 1});
        };
        QVERIFY(passes(EV_REL, REL_X) && passes(EV_ABS, ABS_MT_SLOT) && passes(EV_SYN, SYN_REPORT));
        QVERIFY(passes(EV_KEY, BTN_LEFT) && passes(EV_KEY, BTN_TASK) && passes(EV_KEY, BTN_TOUCH));
        QVERIFY(!passes(EV_KEY, KEY_A) && !passes(EV_KEY, KEY_POWER) && !passes(EV_MSC, MSC_SCAN));
        QVERIFY(!passes(EV_LED, LED_CAPSL) && !passes(EV_SYN, SYN_DROPPED));
    }
};

QTEST_GUILESS_MAIN(DeviceRoleTest)
#include "DeviceRoleTest.moc"
