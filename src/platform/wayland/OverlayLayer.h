// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QWindow;

namespace platform {

// Puts windows on the compositor's overlay layer (wlr-layer-shell), above every
// application window and panel, each on its own output and over all of it.
//
// Two implementations, chosen when Tavimo is built: KDE's layer-shell-qt where it is
// installed (LayerShellQtOverlay), and otherwise our own client of the protocol
// (LayerShell), for Qt versions that layer-shell-qt was never built for.
class OverlayLayer {
public:
    // Null when this process is no Wayland client or the compositor offers no layer
    // shell. Lives as long as the application.
    static OverlayLayer* instance();

    virtual ~OverlayLayer() = default;

    // Call once the native window exists, before it is first shown, with its screen set.
    virtual void placeOnOverlay(QWindow& window) = 0;
    // Gives the window the keyboard for as long as it is shown: the compositor sends
    // no key to any other client meanwhile. False for a window not placed here.
    virtual bool giveKeyboard(QWindow& window) = 0;
    // Whether the window is on the overlay layer and the compositor configured it.
    virtual bool isOnOverlay(const QWindow& window) const = 0;
    // Call before the window is hidden or destroyed: the compositor must see the layer
    // role go before the surface that carries it.
    virtual void withdraw(QWindow& window) = 0;
};

} // namespace platform
