// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/GlassPanel.h"

#include <QColor>
#include <QPainterPath>
#include <QWidget>

// The glass drawn by hand where the platform has none: the material's base, the
// panel's fill, a soft sheen and a 1-point stroke inside rounded corners.
class FallbackGlassView : public QWidget {
    Q_OBJECT
public:
    FallbackGlassView(GlassMaterial material, GlassBlending blendingMode, QWidget* parent);

    GlassMaterial material() const { return m_material; }
    GlassBlending blendingMode() const { return m_blendingMode; }

    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }
    qreal borderWidth() const { return 1.0; }
    // Concrete colours: they stay as set until set again.
    void setColors(const QColor& border, const QColor& background);
    QColor borderColor() const { return m_borderColor; }
    QColor backgroundColor() const { return m_backgroundColor; }
    // The material's own layer under the fill, for the appearance of the last setColors.
    QColor materialColor() const { return m_materialColor; }
    // Whether the window is active: an inactive one shows the selection material
    // plain, without its tint. Emphasized until told otherwise.
    void setEmphasized(bool emphasized);
    bool isEmphasized() const { return m_emphasized; }
    bool drawsTint() const;

    QPainterPath shape() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlassMaterial m_material;
    GlassBlending m_blendingMode;
    qreal m_cornerRadius = 0;
    QColor m_borderColor;
    QColor m_backgroundColor;
    QColor m_materialColor;
    Appearance m_appearance = Appearance::Light;
    bool m_emphasized = true;
};
