// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Desktop.h"
#include "platform/KeyboardAccess.h"

// The backends this process runs on, chosen on first use.
namespace platform {

KeyboardAccess& keyboardAccess();
Desktop& desktop();

// Replaces the backends until called again with nullptrs; for tests only.
void overrideForTesting(KeyboardAccess* keyboard, Desktop* desktop);

} // namespace platform
