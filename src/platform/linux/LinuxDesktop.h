// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Desktop.h"

namespace platform {

class IdleHoldOff;

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
    void holdOffIdle(bool held) override;
    bool compositesWindows() override;
    QImage screenSnapshot(QScreen& screen, int shrinkFactor) override;

private:
    // Made on first use and never destroyed: its bus calls must not outlive the
    // application object, which static destruction would make them do.
    IdleHoldOff* m_idleHoldOff = nullptr;
};

} // namespace platform
