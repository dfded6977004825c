// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Desktop.h"

namespace platform {

// A freedesktop.org desktop (GNOME, KDE, …) on Linux.
class LinuxDesktop final : public Desktop {
public:
    SystemVersion systemVersion() override;
    bool prefersReducedMotion() override;
    bool openUrl(const QUrl& url) override;
    void openKeyboardAccessSettings() override;
    bool revealFile(const QString& path) override;
    void placeAboveAllWindows(QWindow& window) override;
    void makeKeyWindow(QWindow& window) override;
    // X11WindowStacking raises them again (and without an X server there is no desktop).
    bool keepsAboveByItself(const QWindow&) override { return true; }
    bool compositesWindows() override;
    QImage screenSnapshot(QScreen& screen, int shrinkFactor) override;
};

} // namespace platform
