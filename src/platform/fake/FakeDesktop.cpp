// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/fake/FakeDesktop.h"

#include <QPixmap>
#include <QScreen>

namespace platform {

bool FakeDesktop::openUrl(const QUrl& url)
{
    openedUrls.append(url);
    return true;
}

bool FakeDesktop::revealFile(const QString& path)
{
    revealedFiles.append(path);
    return true;
}

QImage FakeDesktop::screenSnapshot(QScreen& screen, int shrinkFactor)
{
    snapshotsTaken.append(&screen);
    if (!snapshots)
        return {};
    const QImage full = screen.grabWindow(0).toImage();
    return full.scaled(full.size() / std::max(1, shrinkFactor), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);
}

} // namespace platform
