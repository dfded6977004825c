// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Desktop.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace platform {

// Records what the windows ask of the desktop; answers with settings a test chooses.
class FakeDesktop final : public Desktop {
public:
    SystemVersion version{SystemVersion::Os::Linux, 6, 1, 0};
    bool reducedMotion = false;
    bool compositing = false;
    // False: no snapshot can be taken, as on Wayland.
    bool snapshots = true;
    // False: overlays are kept in front by following the focus, as on GNOME.
    bool keepsAbove = true;
    // True: makeKeyWindow() activates the window, as a real desktop would.
    bool activates = false;

    QList<QUrl> openedUrls;
    int keyboardAccessSettingsOpened = 0;
    QStringList revealedFiles;
    QList<QWindow*> windowsPlacedAbove;
    QList<QWindow*> keyWindows;
    QList<QScreen*> snapshotsTaken;
    // Whether idling is held off now, and a stand-in for what holding it off does.
    bool idleHeldOff = false;
    std::function<void(bool)> onHoldOffIdle;
    // Runs inside placeAboveAllWindows, for tests that check what holds at that moment.
    std::function<void(QWindow&)> onPlaceAbove;

    SystemVersion systemVersion() override { return version; }
    bool prefersReducedMotion() override { return reducedMotion; }
    bool openUrl(const QUrl& url) override;
    void openKeyboardAccessSettings() override { ++keyboardAccessSettingsOpened; }
    bool revealFile(const QString& path) override;
    void placeAboveAllWindows(QWindow& window) override
    {
        windowsPlacedAbove.append(&window);
        if (onPlaceAbove)
            onPlaceAbove(window);
    }
    void makeKeyWindow(QWindow& window) override;
    bool keepsAboveByItself(const QWindow&) override { return keepsAbove; }
    void holdOffIdle(bool held) override
    {
        idleHeldOff = held;
        if (onHoldOffIdle)
            onHoldOffIdle(held);
    }
    bool compositesWindows() override { return compositing; }
    QImage screenSnapshot(QScreen& screen, int shrinkFactor) override;
};

} // namespace platform
