// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/DeviceRole.h"

namespace lockd {
namespace {

// Keys proper, not buttons: codes below BTN_MISC or from KEY_OK up to the joystick
// trigger block, as input_id counts them.
bool hasKeys(const InputCapabilities& c)
{
    if (!c.events.test(EV_KEY))
        return false;
    for (unsigned code = 0; code < BTN_MISC; ++code) {
        if (c.keys.test(code))
            return true;
    }
    for (unsigned code = KEY_OK; code < BTN_TRIGGER_HAPPY; ++code) {
        if (c.keys.test(code))
            return true;
    }
    return false;
}

bool hasPointer(const InputCapabilities& c)
{
    if (!c.events.test(EV_KEY))
        return false; // accelerometers have axes and nothing to click with
    const bool mouseButton = c.keys.test(BTN_LEFT);
    const bool relative = c.events.test(EV_REL) && c.relative.test(REL_X) && c.relative.test(REL_Y);
    if (relative && mouseButton)
        return true; // mice and pointing sticks
    const bool absolute =
        c.events.test(EV_ABS) &&
        ((c.absolute.test(ABS_X) && c.absolute.test(ABS_Y)) ||
         (c.absolute.test(ABS_MT_POSITION_X) && c.absolute.test(ABS_MT_POSITION_Y)));
    if (!absolute)
        return false;
    // Tablets, touchpads, touchscreens and absolute mice (virtual machines); joysticks,
    // which have axes and buttons of their own, are none of these.
    return c.keys.test(BTN_STYLUS) || c.keys.test(BTN_TOOL_PEN) || c.keys.test(BTN_TOOL_FINGER) ||
           c.keys.test(BTN_TOUCH) || mouseButton;
}

} // namespace

DeviceRole roleOf(const InputCapabilities& capabilities)
{
    return {hasKeys(capabilities), hasPointer(capabilities)};
}

bool isPointerButton(unsigned code)
{
    return (code >= BTN_MOUSE && code <= BTN_TASK) ||
           (code >= BTN_DIGI && code <= BTN_TOOL_QUADTAP);
}

bool isPointerEvent(const input_event& event)
{
    switch (event.type) {
    case EV_REL:
    case EV_ABS:
        return true;
    case EV_KEY:
        return isPointerButton(event.code);
    case EV_SYN:
        return event.code == SYN_REPORT || event.code == SYN_MT_REPORT;
    default:
        return false; // keys, scan codes, LEDs: never passed on
    }
}

} // namespace lockd
