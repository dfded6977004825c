// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Desktop.h"
#include "platform/linux/LinuxDesktop.h"

namespace platform {

class OverlayLayer;
class WaylandIdleInhibit;

// A Wayland desktop. Windows are always composited there, and no client may read the
// screen. Overlays go onto the compositor's overlay layer where it offers
// wlr-layer-shell (KDE, sway and other wlroots compositors, Hyprland, niri, COSMIC);
// elsewhere (GNOME) they are full-screen windows, each on the output it was given.
class WaylandDesktop final : public Desktop {
public:
    enum class Layers { IfOffered, Never };
    // Never: full-screen windows even where a layer shell is offered; for tests.
    explicit WaylandDesktop(Layers layers = Layers::IfOffered);

    SystemVersion systemVersion() override;
    bool prefersReducedMotion() override;
    bool openUrl(const QUrl& url) override;
    void openKeyboardAccessSettings() override;
    bool revealFile(const QString& path) override;
    void placeAboveAllWindows(QWindow& window) override;
    void releaseFromAbove(QWindow& window) override;
    void makeKeyWindow(QWindow& window) override;
    // Every overlay goes onto the overlay layer where there is one; asked right after
    // showing, before the compositor has configured the surface.
    bool keepsAboveByItself(const QWindow&) override { return overlayLayer() != nullptr; }
    // Also on the window made key while held: the overlay with the button.
    void holdOffIdle(bool held) override;
    bool compositesWindows() override { return true; }
    QImage screenSnapshot(QScreen&, int) override { return {}; }

    // Whether the window is on the compositor's overlay layer.
    bool isOnOverlayLayer(const QWindow& window) const;

private:
    OverlayLayer* overlayLayer() const;

    LinuxDesktop m_linux; // what every Linux desktop shares
    Layers m_layers;
    bool m_idleHeldOff = false;
    WaylandIdleInhibit* m_idleInhibit = nullptr; // once a lock has used it
};

} // namespace platform
