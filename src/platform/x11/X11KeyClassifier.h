// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

// Maps an X key event to the tap event type a Mac event tap would report for it.
namespace X11KeyClassifier {

// keysym is the key's unshifted keysym (0 when it has none).
platform::EventType typeOf(bool isPress, unsigned long keysym);

bool isModifierKeysym(unsigned long keysym);
bool isSpecialKeysym(unsigned long keysym);

} // namespace X11KeyClassifier
