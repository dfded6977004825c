// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/wayland/OverlayLayer.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <vector>

class QWindow;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace platform {

class WaylandRegistry;

// The overlay layer through our own client of wlr-layer-shell, where layer-shell-qt is
// not installed (it is built for Qt 6 from Debian 13 on).
//
// Qt 6.4 knows no layer shell: a window flagged Qt::BypassWindowManagerHint gets no
// xdg_toplevel when QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT is set, and its bare
// wl_surface is given the layer-surface role here, before Qt attaches its first buffer.
class LayerShell final : public QObject, public OverlayLayer {
    Q_OBJECT
public:
    // Null when this process is no Wayland client or the compositor offers no layer
    // shell. Lives as long as the application: it uses the application's connection.
    static LayerShell* instance();

    ~LayerShell() override;

    void placeOnOverlay(QWindow& window) override;
    bool giveKeyboard(QWindow& window) override;
    bool isOnOverlay(const QWindow& window) const override;
    // Newer Qt destroys a hidden window's wl_surface before it tells anyone (sway 1.10
    // and later end the connection when the role outlives it): the role goes here, first.
    void withdraw(QWindow& window) override;

private Q_SLOTS:
    // From Qt's platform window: its wl_surface is made on each show and destroyed on
    // each hide, and the role must follow it. Qt 6.4 tells before the surface goes.
    void onWlSurfaceCreated();
    void onWlSurfaceDestroyed();

private:
    struct Surface;

    LayerShell(std::unique_ptr<WaylandRegistry> registry, zwlr_layer_shell_v1* shell);

    Surface* find(const QWindow* window) const;
    void watch(Surface& surface);
    void assignRole(Surface& surface);
    void dropRole(Surface& surface);
    void forget(QObject* window);
    void dispatch();
    void useBypassHint(bool use);

    static void onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, uint32_t serial,
                            uint32_t width, uint32_t height);
    static void onClosed(void* data, zwlr_layer_surface_v1* layerSurface);

    std::unique_ptr<WaylandRegistry> m_registry;
    zwlr_layer_shell_v1* m_shell;
    std::vector<std::unique_ptr<Surface>> m_surfaces;
    bool m_hintSetByUser = false;
};

} // namespace platform
