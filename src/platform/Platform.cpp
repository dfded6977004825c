// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Platform.h"

#include "platform/linux/DesktopPortalSettings.h"
#include "platform/linux/KeyboardAccessRouter.h"
#include "platform/linux/LinuxDesktop.h"
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
#include "platform/linux/StyleHintsPreferences.h"
#endif
#include "platform/wayland/WaylandDesktop.h"

#include <QGuiApplication>

namespace platform {
namespace {

KeyboardAccess* g_keyboardOverride = nullptr;
Desktop* g_desktopOverride = nullptr;

} // namespace

KeyboardAccess& keyboardAccess()
{
    if (g_keyboardOverride)
        return *g_keyboardOverride;
    // Never destroyed: its bus objects must not be torn down after the application
    // object, which static destruction would do.
    static KeyboardAccessRouter* const router = new KeyboardAccessRouter;
    return *router;
}

Desktop& desktop()
{
    if (g_desktopOverride)
        return *g_desktopOverride;
    // Decided by the display plugin Qt loaded, not by session variables, which some
    // compositors (sway) leave unset.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        static WaylandDesktop waylandDesktop;
        return waylandDesktop;
    }
    static LinuxDesktop linuxDesktop;
    return linuxDesktop;
}

DesktopPreferences& desktopPreferences()
{
    // Qt follows the desktop's light or dark itself from 6.5 on; before, the portal says.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    static StyleHintsPreferences preferences;
#else
    static DesktopPortalSettings preferences;
#endif
    return preferences;
}

void overrideForTesting(KeyboardAccess* keyboard, Desktop* desktop)
{
    g_keyboardOverride = keyboard;
    g_desktopOverride = desktop;
}

} // namespace platform
