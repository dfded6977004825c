// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/BreathingIcon.h"

#include "ui/AccessibleTree.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

BreathingIcon::BreathingIcon(std::optional<QIcon> icon, QWidget* parent)
    : QWidget(parent), m_icon(std::move(icon))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("Tavimo"));
    // The name beside it says the same: a screen reader would read it twice.
    AccessibleTree::present(*this, AccessibleTree::Kind::Decoration);
}

void BreathingIcon::startBreathing()
{
    if (m_animation)
        return;
    m_animation = new QSequentialAnimationGroup(this);
    m_animation->setObjectName(QStringLiteral("breathe"));
    const auto addLeg = [this](qreal from, qreal to) {
        auto* leg = new QPropertyAnimation(this, "scale", m_animation);
        leg->setStartValue(from);
        leg->setEndValue(to);
        leg->setDuration(kHalfPeriodMs);
        leg->setEasingCurve(QEasingCurve::InOutSine);
        m_animation->addAnimation(leg);
    };
    addLeg(1.0, kPeakScale);
    addLeg(kPeakScale, 1.0);
    m_animation->setLoopCount(-1);
    m_animation->start();
}

void BreathingIcon::setScale(qreal scale)
{
    if (qFuzzyCompare(scale, m_scale))
        return;
    m_scale = scale;
    update();
}

void BreathingIcon::paintEvent(QPaintEvent*)
{
    if (!m_icon)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF box = rect();
    // Grow from the centre, not from the top-left corner.
    painter.translate(box.center());
    painter.scale(m_scale, m_scale);
    painter.translate(-box.center());
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (box.size() * dpr * kPeakScale).toSize();
    const QPixmap pixmap = m_icon->pixmap(pixels);
    const QSizeF drawn = QSizeF(pixmap.size()).scaled(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.center() - QPointF(drawn.width(), drawn.height()) / 2, drawn);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}
