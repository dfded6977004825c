// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/NativeGlassView.h"

#include "ui/ContinuousCorners.h"

#include <QPainter>

NativeGlassView::NativeGlassView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void NativeGlassView::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    QWidget::update();
}

void NativeGlassView::setTintColor(const std::optional<AppearanceColor>& tint)
{
    m_tintColor = tint;
    QWidget::update();
}

void NativeGlassView::setStyle(Style style)
{
    m_style = style;
    QWidget::update();
}

void NativeGlassView::setContentView(QWidget* view)
{
    m_contentView = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    }
}

void NativeGlassView::paintEvent(QPaintEvent*)
{
    // The real glass follows the appearance by itself: resolve at paint time.
    QColor fill = m_tintColor ? m_tintColor->resolved() : QColor(255, 255, 255, 40);
    if (m_style == Style::Clear)
        fill.setAlphaF(fill.alphaF() * 0.5f);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(ContinuousCorners::path(rect(), m_cornerRadius), fill);
}

void NativeGlassView::resizeEvent(QResizeEvent*)
{
    if (m_contentView)
        m_contentView->setGeometry(rect());
}
