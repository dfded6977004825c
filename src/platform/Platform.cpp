#include "platform/Platform.h"

#include "platform/linux/DesktopPortalSettings.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/x11/X11KeyboardAccess.h"

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
    static LinuxDesktop linuxDesktop;
    return linuxDesktop;
}

DesktopPreferences& desktopPreferences()
{
    static DesktopPortalSettings portal;
    return portal;
}

void overrideForTesting(KeyboardAccess* keyboard, Desktop* desktop)
{
    g_keyboardOverride = keyboard;
    g_desktopOverride = desktop;
}

} // namespace platform
