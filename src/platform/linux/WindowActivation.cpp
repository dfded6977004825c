// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/WindowActivation.h"

#include "platform/x11/X11LaunchActivation.h"

#include <QGuiApplication>
#include <QWindow>

namespace platform {

void activateForLaunch(QWindow& window, const LaunchToken& launch)
{
    // Qt's Wayland shell takes the activation token from the environment at the next
    // activation request (xdg-activation), and removes it there.
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    if (wayland && !launch.activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", launch.activationToken);
    window.raise();
    window.requestActivate();
    if (!wayland)
        activateX11WindowForLaunch(window, launch.startupId);
}

} // namespace platform
