#include "platform/Platform.h"

#include "platform/linux/LinuxDesktop.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/x11/X11KeyboardAccess.h"

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
    static X11KeyboardAccess x11;
    return x11;
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

void overrideForTesting(KeyboardAccess* keyboard, Desktop* desktop)
{
    g_keyboardOverride = keyboard;
    g_desktopOverride = desktop;
}

} // namespace platform
