// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/KeyboardAccessRouter.h"

#include "platform/lockd/LockServiceRunLoopSource.h"
#include "platform/lockd/LockServiceTap.h"

namespace platform {

KeyboardAccess& KeyboardAccessRouter::current()
{
    // Until the bus has answered the service counts as absent: the grab is then still a
    // real lock in an X11 session, and in a Wayland session nothing is claimed.
    if (m_service.isInstalled())
        return m_service;
    return m_x11;
}

std::unique_ptr<EventTap> KeyboardAccessRouter::createTap(TapLocation location,
                                                          TapPlacement placement,
                                                          TapOptions options, EventMask mask,
                                                          TapCallback callback, void* context)
{
    m_lastTapMaker = &current();
    return m_lastTapMaker->createTap(location, placement, options, mask, callback, context);
}

KeyboardAccess& KeyboardAccessRouter::ownerOf(EventTap& tap)
{
    if (dynamic_cast<LockServiceTap*>(&tap))
        return m_service;
    return m_x11;
}

KeyboardAccess& KeyboardAccessRouter::ownerOf(RunLoopSource& source)
{
    if (dynamic_cast<LockServiceRunLoopSource*>(&source))
        return m_service;
    return m_x11;
}

void KeyboardAccessRouter::enableTap(EventTap& tap, bool enable)
{
    ownerOf(tap).enableTap(tap, enable);
}

std::unique_ptr<RunLoopSource> KeyboardAccessRouter::createRunLoopSource(EventTap& tap)
{
    return ownerOf(tap).createRunLoopSource(tap);
}

void KeyboardAccessRouter::addToMainLoop(RunLoopSource& source)
{
    ownerOf(source).addToMainLoop(source);
}

void KeyboardAccessRouter::removeFromMainLoop(RunLoopSource& source)
{
    ownerOf(source).removeFromMainLoop(source);
}

} // namespace platform
