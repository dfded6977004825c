// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <QString>

#include <functional>

namespace platform {

struct KeyboardAccessHelpText {
    QString text;        // what is missing, in one sentence
    QString informative; // why it matters and what the user can do about it
};

KeyboardAccessHelpText keyboardAccessHelpText(AccessProblem problem);

// Linux has no settings page for keyboard access: the user is told in plain words what is
// missing and how to get it. Shows one non-modal message box; calling again while it is
// open updates and raises it instead of opening a second one. With askAgain, the box
// offers an "Authenticate…" button that calls it.
void showKeyboardAccessHelp(AccessProblem problem, std::function<void()> askAgain = {});
// The help for what `access` says is missing; where that is authentication, the box offers
// to prompt for it again (so `access` must outlive the box).
void showKeyboardAccessHelp(KeyboardAccess& access);

} // namespace platform
