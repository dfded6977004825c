// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QAbstractButton>

// A borderless text button drawn in a tint colour, with a focus ring outside its
// text when it has the keyboard focus.
class LinkButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMinimumHeight = 24;

    LinkButton(const QString& title, const QFont& font, AppearanceColor tint,
               QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    AppearanceColor m_tint;
};
