// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Copies a bundle folder into place without ever leaving a half copy or losing the
// item it replaces: the copy is made beside the destination under a hidden name and
// only a finished copy is swapped in.
namespace BundleInstaller {

struct Outcome {
    bool succeeded = false;
    // Which file or step failed and why; empty on success.
    QString error;
};

// Copies `bundlePath` (recursively, keeping permissions and symbolic links) to
// `destinationPath`, replacing whatever is there. On failure the destination is as it
// was before and nothing of the attempt is left behind.
Outcome install(const QString& bundlePath, const QString& destinationPath);

} // namespace BundleInstaller
