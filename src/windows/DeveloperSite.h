// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The developer's website: the link's title, its accessible name and the address it
// opens all come from this one host name.
namespace DeveloperSite {

inline const QString kHost = QStringLiteral("tavimo.app");

} // namespace DeveloperSite
