// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

// The launch-time offer to move Tavimo into the Applications folder.
namespace FirstLaunch {

// Skipped when TAVIMO_SKIP_MOVE_PROMPT is exactly "1", and for a program that is not in
// an application bundle or already runs from "/Applications". Calls `completion` exactly
// once before returning, except after a successful copy: then the application quits
// and `completion` is never called.
void moveToApplicationsIfNeeded(const std::function<void()>& completion);

} // namespace FirstLaunch
