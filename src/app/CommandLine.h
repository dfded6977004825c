// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// What the program's arguments ask for, decided before any window system is touched.
namespace CommandLine {

struct Outcome {
    // Run Tavimo, or print `output` (to stdout for exit code 0, else to stderr) and end.
    bool run = true;
    int exitCode = 0;
    QString output;
};

// `arguments` as main() receives them, the program's own name first. Qt's own options
// (-platform, -display, -style, …) are accepted and left for the application object.
Outcome parse(const QStringList& arguments, const QString& version);

} // namespace CommandLine
