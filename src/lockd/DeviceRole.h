// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lockd/DeviceLayer.h"

namespace lockd {

// What a lock does with an event node, judged from its capabilities the way udev's
// input_id judges ID_INPUT_KEY and its pointer kinds, so that it needs no udevd.
struct DeviceRole {
    // Has keys: keyboards, power and sleep buttons, media and system control, hot keys,
    // remappers' virtual keyboards. Grabbed while locked.
    bool keyboard = false;
    // Can move a pointer and click: mice, touchpads, touchscreens, tablets, pointing
    // sticks. One must be present for a lock; a keyboard that is also a pointer (a
    // wireless combo receiver) keeps its pointer through a virtual one.
    bool pointer = false;
};

DeviceRole roleOf(const InputCapabilities& capabilities);

// Buttons that belong to a pointer: the mouse buttons and the digitiser tools and touches.
bool isPointerButton(unsigned code);
// An event a combined device's virtual pointer repeats: motion, pointer buttons, frames.
bool isPointerEvent(const input_event& event);

} // namespace lockd
