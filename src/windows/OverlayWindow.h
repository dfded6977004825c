// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <functional>

class GlassPanel;
class PointerPressGuard;

// Covers one screen while the keyboard is locked: a borderless window over the
// screen's whole geometry, above every other window, that dims and blurs what lies
// behind it and shows a glass card saying "Keyboard locked". The overlay on the
// primary screen is larger and carries the "Unlock keyboard" button.
class OverlayWindow : public QWidget {
    Q_OBJECT
public:
    struct Metrics {
        int cardWidth;
        int cardHeight;
        int iconTopInset;
        int iconSize;
        int iconToTitleGap;
        qreal titleFontSize;
        qreal messageFontSize;
    };
    static constexpr Metrics kPrimaryMetrics{380, 328, 30, 88, 16, 26, 13};
    static constexpr Metrics kSecondaryMetrics{300, 192, 22, 56, 12, 17, 11};

    // Built complete, not shown. onUnlock runs once per click of the unlock button;
    // only the primary overlay keeps it.
    OverlayWindow(QScreen* screen, std::function<void()> onUnlock);
    // As above, but primary or not as told: for a lock whose screens include none that
    // the platform calls primary, so that one overlay still offers the way back.
    OverlayWindow(QScreen* screen, std::function<void()> onUnlock, bool isPrimaryDisplay);
    ~OverlayWindow() override;

    // Whether the screen was the primary screen when the overlay was made.
    bool isPrimaryDisplay() const { return m_isPrimaryDisplay; }
    // The screen it was made for; null once that screen is gone.
    QScreen* coveredScreen() const { return m_coveredScreen; }
    // Whether what lies behind shows through (a compositing manager runs and no
    // snapshot could be taken) or a blurred snapshot stands in for it.
    bool isTranslucent() const { return m_isTranslucent; }

    // Shows the overlay above everything, without activating it.
    void orderFrontRegardless();
    // Shows it and gives it the keyboard focus.
    void makeKeyAndOrderFront();
    void orderOut();

    // Says on the card whether the keyboard is held, or was given back by the system
    // while the lock lasts (keys type then, though the overlay is still up).
    void showKeyboardHeld(bool held);

    // Presses of a mouse or touchpad on the unlock button do nothing for the next ms
    // milliseconds. Keyboard and accessibility activation are not held back.
    void ignorePointerPressesFor(int ms);

    // Its icon stops breathing for the rest of its life.
    void holdStill();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Every click that misses the button is taken here and does nothing.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildContent(std::function<void()> onUnlock);
    void growCardToFit(GlassPanel& card, const Metrics& m);
    static void balanceVertically(QWidget& content, int cardHeight, int topInset);
    void tintBackdrop();

    const bool m_isPrimaryDisplay;
    const QPointer<QScreen> m_coveredScreen;
    GlassPanel* m_card = nullptr;
    QPointer<PointerPressGuard> m_unlockPressGuard; // on the primary overlay
    bool m_isTranslucent = false;
    QImage m_snapshot; // blurred and shrunk
    QImage m_backdrop; // the snapshot under the tint and the scrim; drawn stretched
};
