// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/BreathingIcon.h"

#include "ui/AccessibleTree.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QWindow>

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
    followExposure();
}

void BreathingIcon::holdStill()
{
    if (m_animation)
        m_animation->stop();
    setScale(1.0);
}

void BreathingIcon::setScale(qreal scale)
{
    if (qFuzzyCompare(scale, m_scale))
        return;
    m_scale = scale;
    // Every frame costs a buffer of the compositor's. On Wayland Qt waits on the main
    // thread for a free one, and a compositor that stops answering keeps them all; Qt
    // calls the window unexposed 100 ms into such a silence, and the breathing pauses
    // then. At this pace only a frame or two come before that, each step a fraction of
    // a pixel.
    if (m_sinceFrame.isValid() && m_sinceFrame.elapsed() < kFrameIntervalMs)
        return;
    m_sinceFrame.start();
    update();
}

void BreathingIcon::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followExposure(); // the native window may be new
}

bool BreathingIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Expose)
        followExposure();
    return QWidget::eventFilter(watched, event);
}

// Breathes only while its window is exposed: nothing is drawn into a window that nobody
// sees, nor into one whose compositor has stopped taking frames.
void BreathingIcon::followExposure()
{
    QWindow* const handle = window()->windowHandle();
    if (handle != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = handle;
        if (handle)
            handle->installEventFilter(this);
    }
    if (!m_animation)
        return;
    const bool exposed = handle && handle->isExposed();
    if (exposed && m_animation->state() == QAbstractAnimation::Paused)
        m_animation->resume();
    else if (!exposed && m_animation->state() == QAbstractAnimation::Running)
        m_animation->pause();
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
