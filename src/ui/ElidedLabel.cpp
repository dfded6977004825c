// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ElidedLabel.h"

#include "ui/AppearanceNotifier.h"
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

ElidedLabel::ElidedLabel(const AppearanceColor& color, QWidget* parent)
    : QWidget(parent), m_color(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Colours resolve at paint time; a switch of appearance only needs a repaint.
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this,
            [this] { QWidget::update(); });
}

void ElidedLabel::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    QWidget::update();
}

QString ElidedLabel::displayedText() const
{
    return QFontMetricsF(font()).elidedText(m_text, Qt::ElideRight, width());
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))),
                 int(std::ceil(metrics.height())));
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color.resolved());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
}
