// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/LayerShellQtOverlay.h"

#include "platform/wayland/WaylandRegistry.h"

#include <QScreen>
#include <QWindow>

#include <LayerShellQt/Window>

#include <memory>

namespace platform {
namespace {

LayerShellQt::Window* layerOf(const QWindow& window)
{
    // layer-shell-qt keeps its object as a child of the window it was made for.
    return window.findChild<LayerShellQt::Window*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

LayerShellQtOverlay* LayerShellQtOverlay::create()
{
    // layer-shell-qt would give the window no shell at all where the compositor lacks
    // the protocol (GNOME): ask first, on the application's own connection.
    const std::unique_ptr<WaylandRegistry> registry(WaylandRegistry::create());
    if (!registry || registry->version(QByteArrayLiteral("zwlr_layer_shell_v1")) == 0)
        return nullptr;
    return new LayerShellQtOverlay;
}

void LayerShellQtOverlay::placeOnOverlay(QWindow& window)
{
    if (layerOf(window))
        return;
    // Its 6.3 cannot be given a screen: the surface goes to the output of the window's
    // screen, and the window's size must be that screen's before the first show.
    if (QScreen* screen = window.screen())
        window.setGeometry(screen->geometry());
    LayerShellQt::Window* layer = LayerShellQt::Window::get(&window);
    if (!layer)
        return;
    layer->setLayer(LayerShellQt::Window::LayerOverlay);
    layer->setAnchors(LayerShellQt::Window::Anchors(
        LayerShellQt::Window::AnchorTop | LayerShellQt::Window::AnchorBottom |
        LayerShellQt::Window::AnchorLeft | LayerShellQt::Window::AnchorRight));
    layer->setExclusiveZone(-1); // over panels too
    layer->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityNone);
    layer->setScope(QStringLiteral("tavimo"));
    // An output that goes away takes its overlay with it through the lock flow, which
    // knows which screen went; the window must not close itself meanwhile.
    layer->setCloseOnDismissed(false);
}

bool LayerShellQtOverlay::giveKeyboard(QWindow& window)
{
    LayerShellQt::Window* layer = layerOf(window);
    if (!layer)
        return false;
    layer->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityExclusive);
    return true;
}

bool LayerShellQtOverlay::isOnOverlay(const QWindow& window) const
{
    // Qt exposes a layer surface only once the compositor has configured it.
    const LayerShellQt::Window* layer = layerOf(window);
    return layer && layer->layer() == LayerShellQt::Window::LayerOverlay && window.isExposed();
}

} // namespace platform
