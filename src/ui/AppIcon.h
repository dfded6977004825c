// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QString>

#include <optional>

// The application's own icon: the "TavimoIcon" resource, else what the platform
// knows as the application's icon. Never a mask image.
namespace AppIcon {

std::optional<QIcon> image();

// Where the "TavimoIcon" resource is looked up: the icns file compiled into the
// program. Tests point it elsewhere; an empty path restores the built-in one.
QString resourcePath();
void setResourcePathForTesting(const QString& path);

// The name under which the desktop's icon theme knows this application.
QString themeIconName();

} // namespace AppIcon
