// SPDX-License-Identifier: GPL-3.0-or-later

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
    showKeyboardAccessHelp(*this);
}

bool X11KeyboardAccess::preflightListenAccess()
{
    return isProcessTrusted();
}

void X11KeyboardAccess::requestListenAccess()
{
    showKeyboardAccessHelp(*this);
}

std::unique_ptr<EventTap> X11KeyboardAccess::createTap(TapLocation location, TapPlacement,
                                                       TapOptions options, EventMask mask,
                                                       TapCallback callback, void* context)
{
    m_lastRefusal = TapRefusal::Failed;
    // A grab always comes first, so every placement is met.
    if (location != TapLocation::Session || options != TapOptions::Default)
        return nullptr;
    if (mask == 0 || (mask & ~kSupportedMask) != 0 || !callback)
        return nullptr;
    m_lastRefusal = TapRefusal::NotPermitted;
    if (!isProcessTrusted())
        return nullptr;
    // Asked afresh: the cached answer may trail a mouse unplugged a moment ago.
    m_lastRefusal = TapRefusal::NoPointingDevice;
    if (!m_probe.queryPointingDevice())
        return nullptr;
    return X11Tap::create(mask, callback, context, m_lastRefusal);
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

bool X11KeyboardAccess::hasPointingDevice()
{
    return m_probe.hasPointingDevice();
}

AccessProblem X11KeyboardAccess::accessProblem()
{
    if (X11SessionProbe::isWaylandSession())
        return AccessProblem::NoX11Session;
    if (!m_probe.isDisplayReachable())
        return AccessProblem::NoDisplay;
    if (!m_probe.hasPointingDevice())
        return AccessProblem::NoPointingDevice;
    switch (m_lastRefusal) {
    case TapRefusal::None:
    case TapRefusal::NotPermitted: // trusted now: whatever refused that tap has passed
        return AccessProblem::None;
    case TapRefusal::NoPointingDevice:
        return AccessProblem::None; // one is there now
    case TapRefusal::KeyboardHeldElsewhere:
        return AccessProblem::KeyboardHeldElsewhere;
    case TapRefusal::KeysHeld:
        return AccessProblem::KeysHeld;
    case TapRefusal::SessionNotActive:
    case TapRefusal::ServiceUnavailable:
    case TapRefusal::Failed:
        return AccessProblem::Failed;
    }
    return AccessProblem::Failed;
}

} // namespace platform
