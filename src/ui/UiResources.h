// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The symbols and the icon are compiled into a static library; this registers
// them before first use, since the linker drops what no code references.
namespace UiResources {

void ensureLoaded();

} // namespace UiResources
