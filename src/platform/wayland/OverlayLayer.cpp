// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/OverlayLayer.h"

#include <QGuiApplication>
#include <QPointer>

#if TAVIMO_LAYER_SHELL_QT
#include "platform/wayland/LayerShellQtOverlay.h"
#else
#include "platform/wayland/LayerShell.h"
#endif

namespace platform {

OverlayLayer* OverlayLayer::instance()
{
#if TAVIMO_LAYER_SHELL_QT
    static QPointer<LayerShellQtOverlay> layer;
    static QPointer<QGuiApplication> triedFor;
    if (layer || !qGuiApp || triedFor == qGuiApp)
        return layer;
    triedFor = qGuiApp;
    layer = LayerShellQtOverlay::create();
    if (layer)
        layer->setParent(qGuiApp);
    return layer;
#else
    return LayerShell::instance();
#endif
}

} // namespace platform
