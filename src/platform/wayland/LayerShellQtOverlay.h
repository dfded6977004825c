// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/wayland/OverlayLayer.h"

#include <QObject>

namespace platform {

// The overlay layer through KDE's layer-shell-qt, which gives Qt's own window the
// layer-surface role as its shell: Qt then creates, configures and tears the role down
// in the order the protocol asks for.
class LayerShellQtOverlay final : public QObject, public OverlayLayer {
    Q_OBJECT
public:
    // Null when the compositor offers no layer shell.
    static LayerShellQtOverlay* create();

    void placeOnOverlay(QWindow& window) override;
    bool giveKeyboard(QWindow& window) override;
    bool isOnOverlay(const QWindow& window) const override;
    void withdraw(QWindow&) override {}

private:
    LayerShellQtOverlay() = default;
};

} // namespace platform
