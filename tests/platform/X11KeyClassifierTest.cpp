#include "platform/x11/X11KeyClassifier.h"

#include <QTest>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

using namespace platform;

// The keys a keyboard test cannot inject on every keymap, checked by keysym.
class X11KeyClassifierTest : public QObject {
    Q_OBJECT

private slots:
    void everyModifierAndLockKeyIsAFlagsChange_data()
    {
        QTest::addColumn<unsigned long>("keysym");
        for (unsigned long keysym : {XK_Shift_L,          XK_Shift_R,         XK_Control_L,
                                     XK_Control_R,        XK_Alt_L,           XK_Alt_R,
                                     XK_Meta_L,           XK_Meta_R,          XK_Super_L,
                                     XK_Super_R,          XK_Hyper_L,         XK_Hyper_R,
                                     XK_Caps_Lock,        XK_Shift_Lock,      XK_Num_Lock,
                                     XK_Scroll_Lock,      XK_Mode_switch,     XK_ISO_Level3_Shift,
                                     XK_ISO_Level5_Shift, XK_ISO_Level3_Lock, XK_ISO_Next_Group})
            QTest::addRow("0x%lx", keysym) << keysym;
    }
    void everyModifierAndLockKeyIsAFlagsChange()
    {
        QFETCH(unsigned long, keysym);
        QCOMPARE(X11KeyClassifier::typeOf(true, keysym), kEventFlagsChanged);
        QCOMPARE(X11KeyClassifier::typeOf(false, keysym), kEventFlagsChanged);
    }

    void everyVendorSpecialKeyIsSystemDefined_data()
    {
        QTest::addColumn<unsigned long>("keysym");
        for (unsigned long keysym :
             {XF86XK_AudioRaiseVolume, XF86XK_AudioLowerVolume, XF86XK_AudioMute, XF86XK_AudioPlay,
              XF86XK_AudioNext, XF86XK_MonBrightnessUp, XF86XK_MonBrightnessDown,
              XF86XK_KbdBrightnessUp, XF86XK_PowerOff, XF86XK_Sleep, XF86XK_Suspend, XF86XK_Eject,
              XF86XK_Launch1, XF86XK_Calculator, XF86XK_WWW, XF86XK_Switch_VT_1, XF86XK_Ungrab})
            QTest::addRow("0x%lx", keysym) << keysym;
    }
    void everyVendorSpecialKeyIsSystemDefined()
    {
        QFETCH(unsigned long, keysym);
        QCOMPARE(X11KeyClassifier::typeOf(true, keysym), kEventSystemDefined);
        QCOMPARE(X11KeyClassifier::typeOf(false, keysym), kEventSystemDefined);
    }

    void otherKeysArePressesAndReleases()
    {
        for (unsigned long keysym :
             std::initializer_list<unsigned long>{XK_a, XK_Z, XK_space, XK_Return, XK_Escape, XK_F1,
                                                  XK_KP_Enter, XK_Left, XK_Print, XK_Delete, 0}) {
            QCOMPARE(X11KeyClassifier::typeOf(true, keysym), kEventKeyDown);
            QCOMPARE(X11KeyClassifier::typeOf(false, keysym), kEventKeyUp);
        }
    }
};

QTEST_GUILESS_MAIN(X11KeyClassifierTest)
#include "X11KeyClassifierTest.moc"
