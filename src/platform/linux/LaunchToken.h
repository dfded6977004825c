// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QVariantMap>

namespace platform {

// What a launcher hands a program so that its window may take the focus: the X11 startup
// notification id and the Wayland activation token. Either may be empty.
struct LaunchToken {
    QByteArray startupId;
    QByteArray activationToken;

    // This process's own, from DESKTOP_STARTUP_ID and XDG_ACTIVATION_TOKEN; read them
    // before the application object exists, which takes them out of the environment.
    static LaunchToken fromEnvironment();
    // The platform data of org.freedesktop.Application, and back.
    QVariantMap toPlatformData() const;
    static LaunchToken fromPlatformData(const QVariantMap& data);
};

} // namespace platform
