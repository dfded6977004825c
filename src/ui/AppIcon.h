#pragma once

#include <QIcon>

#include <optional>

// The application's own icon: the "TavimoIcon" resource, else what the platform
// knows as the application's icon. Never a mask image.
namespace AppIcon {

std::optional<QIcon> image();

} // namespace AppIcon
