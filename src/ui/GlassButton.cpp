// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/GlassButton.h"

#include "ui/AccessibleTree.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButtonGlow.h"
#include "ui/GlassPanel.h"
#include "ui/Palette.h"
#include "ui/SystemColor.h"

#include <QEvent>

#include <algorithm>
#include <QVBoxLayout>

namespace {
constexpr qreal glassCornerRadius = 26;
constexpr qreal glassTintAlpha = 0.78;
constexpr qreal restingGlow = 0.2;
constexpr qreal focusedGlow = 0.28;
constexpr qreal glowBlurRadius = 14;
constexpr qreal glowDrop = 5;
// The secondary text colour made opaque enough to keep 4.5:1 on the plain glass of an
// inactive window; at its own opacity it reaches less than 4:1 even on white.
constexpr qreal inactiveContentAlpha = 0.65;
} // namespace

GlassButton::GlassButton(const QString& title, const QString& symbolName, QWidget* parent)
    : QWidget(parent)
{
    m_glass =
        new GlassPanel(GlassMaterial::Selection, glassCornerRadius, GlassBlending::WithinWindow,
                       Palette::accent().withAlpha(glassTintAlpha),
                       /*isClear*/ false, /*isInteractive*/ true, this);
    m_button = new FocusAwareButton(title, nullptr);
    setAttribute(Qt::WA_TranslucentBackground);

    // The glow keeps the accent of the moment it was made, like a colour handed
    // to a layer.
    m_shadowBaseColor = Palette::accent().resolved();
    m_shadow = new GlassButtonGlow(this);
    m_shadow->setCornerRadius(glassCornerRadius);
    m_shadow->setBlurRadius(glowBlurRadius);
    m_shadow->setOffset(0, glowDrop);
    setGraphicsEffect(m_shadow);
    setFocusGlow(false);

    // The inner button is the control a screen reader meets.
    AccessibleTree::present(*this, AccessibleTree::Kind::Container);
    m_button->setSymbolName(symbolName);
    m_button->setAccessibleName(title);
    connect(m_button, &QAbstractButton::clicked, this, [this] { handleClick(); });
    QPointer<GlassButton> self(this);
    m_button->onFocusChange = [self](bool focused) {
        if (self)
            self->setFocusGlow(focused);
    };

    // The button is the whole hit area, edge to edge.
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(m_glass->contentContainer());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
}

GlassButton::~GlassButton()
{
    if (m_observedWindow)
        m_observedWindow->removeEventFilter(this);
}

FocusAwareButton* GlassButton::button() const
{
    return m_button;
}

QColor GlassButton::shadowColor() const
{
    QColor color = m_shadowBaseColor;
    color.setAlphaF(1.0f);
    return color;
}

qreal GlassButton::shadowBlurRadius() const
{
    return m_shadow->blurRadius();
}

QPointF GlassButton::shadowOffset() const
{
    return m_shadow->offset();
}

QSize GlassButton::sizeHint() const
{
    return m_button->sizeHint();
}

void GlassButton::handleClick()
{
    if (onClick)
        onClick();
}

void GlassButton::setFocusGlow(bool focused)
{
    m_shadowOpacity = focused ? focusedGlow : restingGlow;
    QColor color = m_shadowBaseColor;
    color.setAlphaF(float(m_shadowBaseColor.alphaF() * m_shadowOpacity));
    m_shadow->setColor(color);
    // Only focus the keyboard brought is shown: a window opening gives its first
    // button the focus too, and a ring there would only distract from the pointer.
    m_shadow->setRingVisible(focused && m_button->hasKeyboardFocus());
}

bool GlassButton::showsFocusRing() const
{
    return m_shadow->isRingVisible();
}

bool GlassButton::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // Reparenting, or showing after an ancestor moved, may put the button in
    // another window.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        observeCurrentWindow();
    return handled;
}

bool GlassButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_observedWindow) {
        switch (event->type()) {
        case QEvent::ActivationChange:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            // An ancestor may have moved us since we started observing.
            if (window() != m_observedWindow)
                observeCurrentWindow();
            else
                updateContentTint();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void GlassButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_glass->setGeometry(rect());
    m_cornerRadius = height() / 2.0;
    m_shadow->setCornerRadius(std::min(glassCornerRadius, m_cornerRadius));
}

void GlassButton::observeCurrentWindow()
{
    QWidget* current = window() == this ? nullptr : window();
    if (current != m_observedWindow) {
        if (m_observedWindow)
            m_observedWindow->removeEventFilter(this);
        m_observedWindow = current;
        if (current)
            current->installEventFilter(this);
    }
    updateContentTint();
}

void GlassButton::setFollowsWindowActivity(bool follows)
{
    m_followsWindowActivity = follows;
    updateContentTint();
}

void GlassButton::updateContentTint()
{
    const bool inInactiveWindow =
        m_followsWindowActivity && m_observedWindow && !m_observedWindow->isActiveWindow();
    // The accent gives way to plain glass with it, as a platform button's does.
    m_glass->setEmphasized(!inInactiveWindow);
    m_button->setContentTint(inInactiveWindow
                                 ? Palette::textSecondary().withAlpha(inactiveContentAlpha)
                                 : SystemColor::white());
}
