// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SymbolView.h"

#include "ui/AppearanceNotifier.h"
#include "ui/SymbolImage.h"

#include <QPainter>

SymbolView::SymbolView(qreal pointSize, QFont::Weight weight, QWidget* parent)
    : QWidget(parent), m_pointSize(pointSize), m_weight(weight)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Colours resolve at paint time; a switch of appearance only needs a repaint.
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this,
            [this] { QWidget::update(); });
}

void SymbolView::setSymbolName(const QString& name)
{
    m_symbolName = name;
    QWidget::update();
}

bool SymbolView::hasImage() const
{
    return SymbolImage::exists(m_symbolName);
}

void SymbolView::setTint(const AppearanceColor& tint)
{
    m_tint = tint;
    QWidget::update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    // Rendered at paint time: the tint resolves against the appearance of the
    // moment and the image matches this screen's pixel ratio.
    const QColor color = m_tint ? m_tint->resolved() : palette().color(QPalette::WindowText);
    const std::optional<QPixmap> image =
        SymbolImage::render(m_symbolName, m_pointSize, m_weight, color, devicePixelRatioF());
    if (!image)
        return;
    const QSizeF size = image->deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                       *image);
}
