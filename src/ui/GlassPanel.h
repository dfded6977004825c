// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QColor>
#include <QWidget>

#include <optional>

class FallbackGlassView;
class NativeGlassView;

// Raw values of the platform's blur materials and blending modes.
enum class GlassMaterial : int {
    Selection = 4,
    Menu = 5,
    HudWindow = 13,
    UnderWindowBackground = 21
};
enum class GlassBlending : int { BehindWindow = 0, WithinWindow = 1 };

// The rounded glass surface under every card, pill, button and the main window.
// Content goes into contentContainer(), which always fills the panel.
//
// Where the platform has glass of its own (macOS 26 and later) the panel is that
// glass; everywhere else it is drawn by hand and re-resolves its colours on every
// appearance change. The mode is chosen once, at construction.
class GlassPanel : public QWidget {
    Q_OBJECT
public:
    // Made complete by the constructor below or not at all.
    GlassPanel() = delete;
    explicit GlassPanel(QWidget* parent) = delete;
    GlassPanel(GlassMaterial material, qreal cornerRadius, GlassBlending blendingMode,
               std::optional<AppearanceColor> tintColor, bool isClear, bool isInteractive,
               QWidget* parent = nullptr);

    QWidget* contentContainer() const;
    bool usesNativeGlass() const;

    qreal cornerRadius() const { return m_cornerRadius; }
    const std::optional<AppearanceColor>& fallbackTintColor() const { return m_fallbackTintColor; }
    // The view that draws the glass: a NativeGlassView or a FallbackGlassView.
    QWidget* backingView() const;
    NativeGlassView* nativeGlass() const { return m_nativeGlass; }
    FallbackGlassView* fallbackGlass() const { return m_fallbackGlass; }

    // Whether the panel's window is the active one. Native glass follows its window by
    // itself; the hand-drawn selection glass turns plain in an inactive window.
    void setEmphasized(bool emphasized);

    // The colours the hand-drawn glass shows now; invalid in native mode.
    QColor borderColor() const;
    QColor backgroundColor() const;
    qreal borderWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refreshAppearance(const std::optional<AppearanceColor>& tintColor);
    void clipContent();

    qreal m_cornerRadius;
    std::optional<AppearanceColor> m_fallbackTintColor;
    QWidget* m_contentContainer = nullptr;
    NativeGlassView* m_nativeGlass = nullptr;
    FallbackGlassView* m_fallbackGlass = nullptr;
};
