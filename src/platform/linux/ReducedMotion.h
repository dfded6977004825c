// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

namespace platform {

// GNOME's org.gnome.desktop.interface enable-animations; nullopt where GIO or the
// schema is missing.
std::optional<bool> gnomeAnimationsEnabled();
// Whether the kdeglobals file at the path sets [KDE] AnimationDurationFactor to 0.
bool kdeAnimationsOff(const QString& kdeglobalsPath);
// $XDG_CONFIG_HOME/kdeglobals, or ~/.config/kdeglobals.
QString kdeglobalsPath();

// Whether the desktop asks programs to keep still: GNOME's enable-animations off (from
// GSettings, or where its schema is missing from the desktop portal, as last heard), or
// KDE's AnimationDurationFactor at 0. Read from the settings each time it is called.
bool desktopPrefersReducedMotion();

} // namespace platform
