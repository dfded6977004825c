#include "ui/FallbackGlassView.h"

#include "ui/ContinuousCorners.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

// How each material looks without a real blur behind it. Without a compositor
// nothing behind the window shows through, so the bases are frosted and fairly
// opaque; behind-window materials more so, since their window is the backdrop.
QColor materialBase(GlassMaterial material, GlassBlending blending, Appearance appearance)
{
    const bool dark = appearance == Appearance::Dark;
    QColor base;
    switch (material) {
    case GlassMaterial::Selection:
        base = dark ? QColor(255, 255, 255, 16) : QColor(255, 255, 255, 28);
        break;
    case GlassMaterial::Menu:
        base = dark ? QColor(58, 58, 62, 110) : QColor(255, 255, 255, 120);
        break;
    case GlassMaterial::HudWindow:
        base = dark ? QColor(30, 30, 34, 150) : QColor(248, 248, 250, 150);
        break;
    case GlassMaterial::UnderWindowBackground:
        base = dark ? QColor(38, 38, 40, 215) : QColor(238, 238, 240, 215);
        break;
    }
    if (blending == GlassBlending::WithinWindow)
        base.setAlphaF(base.alphaF() * 0.8f);
    return base;
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
    m_materialColor = materialBase(m_material, m_blendingMode, m_appearance);
    QWidget::update();
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
