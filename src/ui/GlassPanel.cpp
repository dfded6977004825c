// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/GlassPanel.h"

#include "platform/Platform.h"
#include "ui/AccessibleTree.h"
#include "ui/AppearanceNotifier.h"
#include "ui/FallbackGlassView.h"
#include "ui/NativeGlassView.h"
#include "ui/Palette.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>

GlassPanel::GlassPanel(GlassMaterial material, qreal cornerRadius, GlassBlending blendingMode,
                       std::optional<AppearanceColor> tintColor, bool isClear, bool isInteractive,
                       QWidget* parent)
    : QWidget(parent), m_cornerRadius(cornerRadius), m_fallbackTintColor(tintColor)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_contentContainer = new QWidget;
    m_contentContainer->setAttribute(Qt::WA_TranslucentBackground);

    const platform::SystemVersion version = platform::desktop().systemVersion();
    if (version.isMacOSAtLeast(26, 0, 0)) {
        m_nativeGlass = new NativeGlassView(this);
        m_nativeGlass->setCornerRadius(cornerRadius);
        m_nativeGlass->setTintColor(tintColor);
        m_nativeGlass->setStyle(isClear ? NativeGlassView::Style::Clear
                                        : NativeGlassView::Style::Regular);
        m_nativeGlass->setContentView(m_contentContainer);
        // Interactive glass exists only from 27.0 on.
        if (version.isMacOSAtLeast(27, 0, 0))
            m_nativeGlass->setEffectIsInteractive(isInteractive);
    } else {
        m_fallbackGlass = new FallbackGlassView(material, blendingMode, this);
        m_fallbackGlass->setCornerRadius(cornerRadius);
        m_contentContainer->setParent(m_fallbackGlass);
    }
    // Glass only holds and draws: what sits on it shows in its place.
    for (QWidget* holder : {static_cast<QWidget*>(this), m_contentContainer, backingView()})
        AccessibleTree::present(*holder, AccessibleTree::Kind::Container);
    refreshAppearance(m_fallbackTintColor);
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this,
            [this] { refreshAppearance(m_fallbackTintColor); });
}

QWidget* GlassPanel::contentContainer() const
{
    return m_contentContainer;
}

bool GlassPanel::usesNativeGlass() const
{
    return m_nativeGlass != nullptr;
}

QWidget* GlassPanel::backingView() const
{
    if (m_nativeGlass)
        return m_nativeGlass;
    return m_fallbackGlass;
}

QColor GlassPanel::borderColor() const
{
    return m_fallbackGlass ? m_fallbackGlass->borderColor() : QColor();
}

QColor GlassPanel::backgroundColor() const
{
    return m_fallbackGlass ? m_fallbackGlass->backgroundColor() : QColor();
}

void GlassPanel::setEmphasized(bool emphasized)
{
    if (m_fallbackGlass)
        m_fallbackGlass->setEmphasized(emphasized);
}

qreal GlassPanel::borderWidth() const
{
    return m_fallbackGlass ? m_fallbackGlass->borderWidth() : 0.0;
}

void GlassPanel::refreshAppearance(const std::optional<AppearanceColor>& tintColor)
{
    // Native glass follows the appearance by itself.
    if (!m_fallbackGlass)
        return;
    const AppearanceColor& fill = tintColor ? *tintColor : Palette::surfaceFill();
    m_fallbackGlass->setColors(Palette::glassStroke().resolved(), fill.resolved());
}

void GlassPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    backingView()->setGeometry(rect());
    m_contentContainer->setGeometry(rect());
    clipContent();
}

void GlassPanel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (AppearanceNotifier::isAppearanceChange(event))
        refreshAppearance(m_fallbackTintColor);
}

void GlassPanel::clipContent()
{
    // Content stays inside the rounded glass. Widget masks are not antialiased, so
    // the glass's own antialiased edge is drawn by the backing view underneath.
    if (!m_fallbackGlass || m_cornerRadius <= 0) {
        m_contentContainer->clearMask();
        return;
    }
    m_contentContainer->setMask(
        QRegion(m_fallbackGlass->shape().toFillPolygon().toPolygon(), Qt::WindingFill));
}
