// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/AppearanceColor.h"

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>

class FocusAwareButton;
class GlassButtonGlow;
class GlassPanel;

// The glass push button: a capsule of tinted glass with a symbol, a title and an
// accent glow. The owner sets onClick and sizes it (236 × 52 in this program).
class GlassButton : public QWidget {
    Q_OBJECT
public:
    // Made complete by the constructor below or not at all.
    GlassButton() = delete;
    explicit GlassButton(QWidget* parent) = delete;
    GlassButton(const QString& title, const QString& symbolName, QWidget* parent = nullptr);
    ~GlassButton() override;

    // Called once per click; a click without it does nothing.
    std::function<void()> onClick;

    FocusAwareButton* button() const;
    GlassPanel* glass() const { return m_glass; }

    // The glow under the button.
    QColor shadowColor() const;
    qreal shadowOpacity() const { return m_shadowOpacity; }
    qreal shadowBlurRadius() const;
    QPointF shadowOffset() const;
    // The accent ring drawn around the capsule while the button has keyboard focus.
    bool showsFocusRing() const;
    // Half the height, kept on every resize.
    qreal cornerRadius() const { return m_cornerRadius; }
    // The window whose activation tints the content; null when in no window.
    QWidget* observedWindow() const { return m_observedWindow; }
    // A button on a window that is never meant to be the active one (the lock overlays,
    // which stay above everything while focus stays elsewhere) keeps its accent.
    void setFollowsWindowActivity(bool follows);

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void handleClick();
    void setFocusGlow(bool focused);
    void observeCurrentWindow();
    void updateContentTint();

    GlassPanel* m_glass = nullptr;
    FocusAwareButton* m_button = nullptr;
    GlassButtonGlow* m_shadow = nullptr;
    QColor m_shadowBaseColor;
    qreal m_shadowOpacity = 0.2;
    qreal m_cornerRadius = 0;
    bool m_followsWindowActivity = true;
    QPointer<QWidget> m_observedWindow;
};
