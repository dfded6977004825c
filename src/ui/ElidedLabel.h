// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QWidget>

// One line of text that ends in an ellipsis when it is given less than its
// natural width; its colour follows the appearance.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(const AppearanceColor& color, QWidget* parent);

    void setText(const QString& text);
    QString text() const { return m_text; }
    // What is drawn at the current width.
    QString displayedText() const;
    const AppearanceColor& color() const { return m_color; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    AppearanceColor m_color;
};
