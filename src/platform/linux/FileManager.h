// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace platform {

// The desktop's file manager, reached over D-Bus as freedesktop.org describes it.
namespace FileManager {

// Shows the file or folder selected in a file manager window
// (org.freedesktop.FileManager1.ShowItems on the session bus). When no file manager
// answers there, opens the folder that holds it instead. False when neither worked.
bool showItem(const QString& path);

} // namespace FileManager

} // namespace platform
