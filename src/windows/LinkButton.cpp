// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/LinkButton.h"

#include "ui/AccessibleTree.h"
#include "ui/ButtonKeys.h"
#include "ui/SystemColor.h"

#include <QPainter>

LinkButton::LinkButton(const QString& title, const QFont& font, AppearanceColor tint,
                       QWidget* parent)
    : QAbstractButton(parent), m_tint(tint)
{
    setText(title);
    setFont(font);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    AccessibleTree::present(*this, AccessibleTree::Kind::Link);
}

QSize LinkButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    // Room either side for the focus ring.
    return {textWidth + 12, std::max(kMinimumHeight, metrics.height() + 4)};
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor color = m_tint.resolved();
    if (isDown())
        color.setAlphaF(color.alphaF() * 0.6);
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus()) {
        QColor ring = SystemColor::systemBlue().resolved();
        ring.setAlphaF(0.6);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
    }
}

void LinkButton::keyPressEvent(QKeyEvent* event)
{
    if (!ButtonKeys::pressesLikeSpace(*event))
        return QAbstractButton::keyPressEvent(event);
    QKeyEvent space = ButtonKeys::spaceFor(*event);
    QAbstractButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void LinkButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!ButtonKeys::pressesLikeSpace(*event))
        return QAbstractButton::keyReleaseEvent(event);
    QKeyEvent space = ButtonKeys::spaceFor(*event);
    QAbstractButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}
