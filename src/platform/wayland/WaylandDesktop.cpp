// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/WaylandDesktop.h"

#include "platform/wayland/OverlayLayer.h"
#include "platform/wayland/WaylandIdleInhibit.h"

#include <QWindow>

namespace platform {

WaylandDesktop::WaylandDesktop(Layers layers) : m_layers(layers) {}

OverlayLayer* WaylandDesktop::overlayLayer() const
{
    return m_layers == Layers::IfOffered ? OverlayLayer::instance() : nullptr;
}

SystemVersion WaylandDesktop::systemVersion()
{
    return m_linux.systemVersion();
}

bool WaylandDesktop::prefersReducedMotion()
{
    return m_linux.prefersReducedMotion();
}

bool WaylandDesktop::openUrl(const QUrl& url)
{
    return m_linux.openUrl(url);
}

void WaylandDesktop::openKeyboardAccessSettings()
{
    m_linux.openKeyboardAccessSettings();
}

bool WaylandDesktop::revealFile(const QString& path)
{
    return m_linux.revealFile(path);
}

void WaylandDesktop::placeAboveAllWindows(QWindow& window)
{
    OverlayLayer* layers = overlayLayer();
    if (layers) {
        layers->placeOnOverlay(window);
        return;
    }
    // Without a layer shell the most a client can ask is full screen on the window's
    // output (Qt names the output when the screen was set before the first show); a
    // plain window would be tiled or placed on whichever output has the focus.
    // Qt would give a window with this hint no shell at all if the user's environment
    // asks it to: it would never appear.
    window.setFlag(Qt::BypassWindowManagerHint, false);
    window.setWindowStates(Qt::WindowFullScreen);
}

void WaylandDesktop::releaseFromAbove(QWindow& window)
{
    if (OverlayLayer* layers = overlayLayer())
        layers->withdraw(window);
}

void WaylandDesktop::makeKeyWindow(QWindow& window)
{
    OverlayLayer* layers = overlayLayer();
    if (!layers || !layers->giveKeyboard(window))
        window.requestActivate();
    if (m_idleHeldOff && (m_idleInhibit = WaylandIdleInhibit::instance()))
        m_idleInhibit->inhibitOn(window);
}

void WaylandDesktop::holdOffIdle(bool held)
{
    m_idleHeldOff = held;
    m_linux.holdOffIdle(held);
    if (!held && m_idleInhibit)
        m_idleInhibit->release();
}

bool WaylandDesktop::isOnOverlayLayer(const QWindow& window) const
{
    OverlayLayer* layers = overlayLayer();
    return layers && layers->isOnOverlay(window);
}

} // namespace platform
