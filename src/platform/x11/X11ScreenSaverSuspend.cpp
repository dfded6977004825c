// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11ScreenSaverSuspend.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace platform {

bool X11ScreenSaverSuspend::suspend(bool held)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return false;
    // The server counts suspensions per client and drops ours when the connection goes,
    // so a crash cannot leave the screen saver off.
    XScreenSaverSuspend(display, held ? True : False);
    XFlush(display);
    return true;
}

} // namespace platform
