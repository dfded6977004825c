// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QFont>
#include <QWidget>

#include <optional>

// Shows one symbol, centred, in a tint that follows the appearance; empty for an
// unknown name while keeping its place in the layout.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(qreal pointSize, QFont::Weight weight, QWidget* parent);

    void setSymbolName(const QString& name);
    QString symbolName() const { return m_symbolName; }
    bool hasImage() const;
    void setTint(const AppearanceColor& tint);
    const std::optional<AppearanceColor>& tint() const { return m_tint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_pointSize;
    QFont::Weight m_weight;
    QString m_symbolName;
    std::optional<AppearanceColor> m_tint;
};
