// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/FallbackGlassView.h"

#include "ui/ContinuousCorners.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

// How each material looks without a real blur behind it. A window's own
// background (under-window) cannot blur the desktop, so it is all but opaque:
// a see-through window would show sharp desktop detail behind its text, or,
// without a compositor, black. The overlay card (HUD) sits on the overlay's own
// blurred snapshot and stays translucent; menu is drawn within a window and only
// lightens or darkens what is under it. Selection is the deep blue of selected
// content, under which an accent tint keeps white text legible (at least 4.5:1); in
// an inactive window it turns to the plain neutral of an unemphasized selection.
QColor materialBase(GlassMaterial material, Appearance appearance, bool emphasized)
{
    const bool dark = appearance == Appearance::Dark;
    switch (material) {
    case GlassMaterial::Selection:
        if (!emphasized)
            return dark ? QColor(62, 62, 66) : QColor(250, 250, 252);
        return QColor(0, 30, 100);
    case GlassMaterial::Menu:
        return dark ? QColor(58, 58, 62, 90) : QColor(255, 255, 255, 96);
    case GlassMaterial::HudWindow:
        return dark ? QColor(30, 30, 34, 150) : QColor(248, 248, 250, 150);
    case GlassMaterial::UnderWindowBackground:
        return dark ? QColor(36, 36, 38, 248) : QColor(238, 238, 240, 248);
    }
    return Qt::transparent;
}

} // namespace

FallbackGlassView::FallbackGlassView(GlassMaterial material, GlassBlending blendingMode,
                                     QWidget* parent)
    : QWidget(parent), m_material(material), m_blendingMode(blendingMode)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void FallbackGlassView::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    QWidget::update();
}

void FallbackGlassView::setColors(const QColor& border, const QColor& background)
{
    m_borderColor = border;
    m_backgroundColor = background;
    m_appearance = currentAppearance();
    m_materialColor = materialBase(m_material, m_appearance, m_emphasized);
    QWidget::update();
}

void FallbackGlassView::setEmphasized(bool emphasized)
{
    if (emphasized == m_emphasized)
        return;
    m_emphasized = emphasized;
    m_materialColor = materialBase(m_material, m_appearance, m_emphasized);
    QWidget::update();
}

bool FallbackGlassView::drawsTint() const
{
    // An unemphasized selection covers the tint, as the platform's material covers
    // the colour of the layer beneath it: an accent would not hold dark text.
    return m_emphasized || m_material != GlassMaterial::Selection;
}

QPainterPath FallbackGlassView::shape() const
{
    return ContinuousCorners::path(QRectF(rect()), m_cornerRadius);
}

void FallbackGlassView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const QPainterPath body = shape();

    painter.fillPath(body, m_materialColor);
    if (drawsTint())
        painter.fillPath(body, m_backgroundColor);

    // Light catches the upper edge of real glass; a faint sheen keeps flat fills
    // from looking like plastic.
    QLinearGradient sheen(bounds.topLeft(), bounds.bottomLeft());
    const int sheenAlpha = m_appearance == Appearance::Dark ? 18 : 46;
    sheen.setColorAt(0.0, QColor(255, 255, 255, sheenAlpha));
    sheen.setColorAt(0.55, QColor(255, 255, 255, 0));
    painter.fillPath(body, sheen);

    // A 1-point stroke drawn inside the edge, so the corners clip nothing of it.
    const qreal inset = borderWidth() / 2;
    const QPainterPath edge = ContinuousCorners::path(bounds.adjusted(inset, inset, -inset, -inset),
                                                      std::max<qreal>(0, m_cornerRadius - inset));
    painter.setPen(QPen(m_borderColor, borderWidth()));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(edge);
}
