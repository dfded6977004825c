#pragma once

#include "ui/AppearanceColor.h"

#include <QWidget>

#include <optional>

// Raw values of the platform's blur materials and blending modes.
enum class GlassMaterial : int { Selection = 4, Menu = 5, HudWindow = 13, UnderWindowBackground = 21 };
enum class GlassBlending : int { BehindWindow = 0, WithinWindow = 1 };

// The rounded glass surface under every card, pill, button and the main window.
// Content goes into contentContainer(), which always fills the panel.
class GlassPanel : public QWidget {
    Q_OBJECT
public:
    GlassPanel(GlassMaterial material, qreal cornerRadius, GlassBlending blendingMode,
               std::optional<AppearanceColor> tintColor, bool isClear, bool isInteractive,
               QWidget* parent = nullptr);

    QWidget* contentContainer() const;
    bool usesNativeGlass() const;
};
