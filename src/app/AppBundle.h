// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

// The application bundle the running program lives in, if it lives in one.
namespace AppBundle {

// The bundle folder of an executable laid out as <Name>.app/Contents/MacOS/<program>.
// Nothing for any other layout: a bare executable (a build folder, /usr/bin) has no
// bundle, and its folder must never be taken for one.
std::optional<QString> containing(const QString& executablePath);

} // namespace AppBundle
