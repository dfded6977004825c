#include "platform/x11/X11KeyboardAccess.h"

namespace platform {

// Placeholder until the grab lands: refuses every tap, so nothing claims a lock.
bool X11KeyboardAccess::isProcessTrusted() { return false; }
void X11KeyboardAccess::promptForTrust() {}
bool X11KeyboardAccess::preflightListenAccess() { return false; }
void X11KeyboardAccess::requestListenAccess() {}
std::unique_ptr<EventTap> X11KeyboardAccess::createTap(TapLocation, TapPlacement, TapOptions,
                                                       EventMask, TapCallback, void*)
{
    return nullptr;
}
void X11KeyboardAccess::enableTap(EventTap&, bool) {}
std::unique_ptr<RunLoopSource> X11KeyboardAccess::createRunLoopSource(EventTap&) { return nullptr; }
void X11KeyboardAccess::addToMainLoop(RunLoopSource&) {}
void X11KeyboardAccess::removeFromMainLoop(RunLoopSource&) {}

} // namespace platform
