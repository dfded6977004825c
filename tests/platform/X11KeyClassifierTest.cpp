// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11KeyClassifier.h"

#include <QTest>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

using namespace platform;

// Keys a keyboard test cannot inject on every keymap, classified by keysym.
class X11KeyClassifierTest : public QObject {
    Q_OBJECT

private slots:
    void eachKeyHasTheTypeOfItsKind_data()
    {
        QTest::addColumn<unsigned long>("keysym");
        QTest::addColumn<EventType>("press");
        QTest::addColumn<EventType>("release");
        // Modifiers and lock keys, Scroll Lock included, go down and up as one type.
        for (unsigned long keysym : {XK_Shift_R, XK_Caps_Lock, XK_Num_Lock, XK_Scroll_Lock,
                                     XK_ISO_Level3_Shift, XK_ISO_Next_Group})
            QTest::addRow("modifier 0x%lx", keysym)
                << keysym << kEventFlagsChanged << kEventFlagsChanged;
        // Media, volume, brightness, power, sleep, eject and launch keys are special.
        for (unsigned long keysym : {XF86XK_AudioMute, XF86XK_PowerOff, XF86XK_Eject})
            QTest::addRow("special 0x%lx", keysym)
                << keysym << kEventSystemDefined << kEventSystemDefined;
        for (unsigned long keysym : {XK_Z, XK_F1, XK_KP_Enter, 0})
            QTest::addRow("other 0x%lx", keysym) << keysym << kEventKeyDown << kEventKeyUp;
    }
    void eachKeyHasTheTypeOfItsKind()
    {
        QFETCH(unsigned long, keysym);
        QFETCH(EventType, press);
        QFETCH(EventType, release);
        QCOMPARE(X11KeyClassifier::typeOf(true, keysym), press);
        QCOMPARE(X11KeyClassifier::typeOf(false, keysym), release);
    }
};

QTEST_GUILESS_MAIN(X11KeyClassifierTest)
#include "X11KeyClassifierTest.moc"
