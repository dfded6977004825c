#pragma once

namespace platform {

// Whether the desktop asks programs to keep still: GNOME's enable-animations off, or
// KDE's AnimationDurationFactor at 0. Read from the settings each time it is called.
bool desktopPrefersReducedMotion();

} // namespace platform
