// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/fake/FakeDesktop.h"

#include <QColor>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

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

void FakeDesktop::makeKeyWindow(QWindow& window)
{
    keyWindows.append(&window);
    if (activates)
        window.requestActivate();
}

QImage FakeDesktop::screenSnapshot(QScreen& screen, int shrinkFactor)
{
    snapshotsTaken.append(&screen);
    if (!snapshots)
        return {};
    // The offscreen platform's grab leaves unpainted memory as it found it; a plain
    // picture of the same size keeps every run alike.
    QImage full(screen.grabWindow(0).size(), QImage::Format_RGB32);
    full.fill(QColor(72, 110, 150));
    return full.scaled(full.size() / std::max(1, shrinkFactor), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);
}

} // namespace platform
