// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/TintedLabel.h"

#include <QEvent>

TintedLabel::TintedLabel(const QString& text, const QFont& font, AppearanceColor color,
                         QWidget* parent)
    : QLabel(text, parent), m_color(color)
{
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    applyColor();
    adjustSize();
}

void TintedLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyColor();
    QLabel::changeEvent(event);
}

void TintedLabel::applyColor()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, m_color.resolved());
    setPalette(palette);
}
