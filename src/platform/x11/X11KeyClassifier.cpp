// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11KeyClassifier.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace X11KeyClassifier {

bool isModifierKeysym(unsigned long keysym)
{
    // IsModifierKey covers Shift … Hyper, the ISO level and group keys, Mode_switch and
    // Num_Lock; Scroll Lock is a lock key too but Xlib files it elsewhere.
    return IsModifierKey(keysym) || keysym == XK_Scroll_Lock;
}

bool isSpecialKeysym(unsigned long keysym)
{
    // The XFree86 vendor keysyms (0x1008xxxx): media, volume, brightness, power, sleep,
    // eject, launch keys and the rest of the "multimedia keyboard" set.
    return (keysym & 0xFFFF0000ul) == 0x10080000ul;
}

platform::EventType typeOf(bool isPress, unsigned long keysym)
{
    if (isModifierKeysym(keysym))
        return platform::kEventFlagsChanged;
    if (isSpecialKeysym(keysym))
        return platform::kEventSystemDefined;
    return isPress ? platform::kEventKeyDown : platform::kEventKeyUp;
}

} // namespace X11KeyClassifier
