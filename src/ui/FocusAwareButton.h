// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QPushButton>

#include <functional>
#include <optional>

// A flat button that draws a symbol before its title, shows no focus ring, and
// reports every real change of keyboard focus through onFocusChange.
class FocusAwareButton : public QPushButton {
    Q_OBJECT
public:
    explicit FocusAwareButton(QWidget* parent = nullptr);
    FocusAwareButton(const QString& title, QWidget* parent);

    // Called with true on gaining and false on losing focus; never for a refused
    // or repeated request.
    std::function<void(bool focused)> onFocusChange;
    // Whether the focus was brought by the keyboard (Tab, a shortcut) rather than by
    // a window opening, so that it should be shown. Kept while the window is
    // inactive, and up to date when onFocusChange runs.
    bool hasKeyboardFocus() const { return hasFocus() && m_focusFromKeyboard; }

    void setSymbolName(const QString& name);
    QString symbolName() const { return m_symbolName; }
    bool hasSymbolImage() const;
    // Colour of symbol and title; nothing until set, which draws in the style's text colour.
    void setContentTint(const AppearanceColor& tint);
    const std::optional<AppearanceColor>& contentTint() const { return m_contentTint; }

    QSize sizeHint() const override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    qreal symbolSide() const;

    QString m_symbolName;
    bool m_focusFromKeyboard = false;
    std::optional<AppearanceColor> m_contentTint;
};
