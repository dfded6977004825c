// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/TintedLabel.h"

#include "ui/AccessibleTree.h"
#include "ui/AppearanceNotifier.h"

TintedLabel::TintedLabel(const QString& text, const QFont& font, AppearanceColor color,
                         QWidget* parent)
    : QLabel(text, parent), m_color(color)
{
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    AccessibleTree::present(*this, AccessibleTree::Kind::Text);
    applyColor();
    adjustSize();
    // A child widget is never told of a new application palette through its own change
    // events once it holds a palette of its own, so it listens to the application.
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this,
            &TintedLabel::applyColor);
}

void TintedLabel::markAsHeading()
{
    AccessibleTree::present(*this, AccessibleTree::Kind::Heading);
}

void TintedLabel::applyColor()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, m_color.resolved());
    setPalette(palette);
}
