// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QPointer>
#include <QWidget>

#include <optional>

// Stand-in for the platform's own glass view on systems that have one. It keeps
// what the panel set on it, and draws a plain tinted rounded surface; a platform
// with native glass would wrap its view here.
class NativeGlassView : public QWidget {
    Q_OBJECT
public:
    enum class Style : int { Regular = 0, Clear = 1 };

    explicit NativeGlassView(QWidget* parent);

    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setTintColor(const std::optional<AppearanceColor>& tint);
    const std::optional<AppearanceColor>& tintColor() const { return m_tintColor; }
    void setStyle(Style style);
    Style style() const { return m_style; }
    void setContentView(QWidget* view);
    QWidget* contentView() const { return m_contentView; }
    void setEffectIsInteractive(bool interactive) { m_effectIsInteractive = interactive; }
    // Nothing until the panel passes it on.
    std::optional<bool> effectIsInteractive() const { return m_effectIsInteractive; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    qreal m_cornerRadius = 0;
    std::optional<AppearanceColor> m_tintColor;
    Style m_style = Style::Regular;
    QPointer<QWidget> m_contentView;
    std::optional<bool> m_effectIsInteractive;
};
