#include "platform/x11/X11KeyboardAccess.h"

#include "platform/linux/KeyboardAccessHelp.h"
#include "platform/x11/X11RunLoopSource.h"
#include "platform/x11/X11Tap.h"

namespace platform {

bool X11KeyboardAccess::isProcessTrusted()
{
    return !X11SessionProbe::isWaylandSession() && m_probe.isDisplayReachable();
}

void X11KeyboardAccess::promptForTrust()
{
    showKeyboardAccessHelp();
}

bool X11KeyboardAccess::preflightListenAccess()
{
    return isProcessTrusted();
}

void X11KeyboardAccess::requestListenAccess()
{
    showKeyboardAccessHelp();
}

std::unique_ptr<EventTap> X11KeyboardAccess::createTap(TapLocation location, TapPlacement,
                                                       TapOptions options, EventMask mask,
                                                       TapCallback callback, void* context)
{
    // A grab always comes first, so every placement is met.
    if (location != TapLocation::Session || options != TapOptions::Default)
        return nullptr;
    if (mask == 0 || (mask & ~kSupportedMask) != 0 || !callback)
        return nullptr;
    if (X11SessionProbe::isWaylandSession())
        return nullptr;
    return X11Tap::create(mask, callback, context);
}

void X11KeyboardAccess::enableTap(EventTap& tap, bool enable)
{
    static_cast<X11Tap&>(tap).setEnabled(enable);
}

std::unique_ptr<RunLoopSource> X11KeyboardAccess::createRunLoopSource(EventTap& tap)
{
    return std::make_unique<X11RunLoopSource>(static_cast<X11Tap&>(tap));
}

void X11KeyboardAccess::addToMainLoop(RunLoopSource& source)
{
    static_cast<X11RunLoopSource&>(source).setInstalled(true);
}

void X11KeyboardAccess::removeFromMainLoop(RunLoopSource& source)
{
    static_cast<X11RunLoopSource&>(source).setInstalled(false);
}

} // namespace platform
