// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QLabel>

// A centred, non-selectable label in one of the shared colours, which it applies
// again when the desktop switches between light and dark.
class TintedLabel : public QLabel {
    Q_OBJECT
public:
    TintedLabel(const QString& text, const QFont& font, AppearanceColor color,
                QWidget* parent = nullptr);

    // A window's title: screen readers list it as a heading.
    void markAsHeading();

private:
    void applyColor();

    AppearanceColor m_color;
};
