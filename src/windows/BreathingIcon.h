// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <optional>

class QSequentialAnimationGroup;
class QWindow;

// The application icon, drawn scaled about its own centre. Breathing animates the
// scale from 1.0 to 1.035 and back, 1.8 s each way, for as long as the icon lives,
// paused while its window is not exposed.
class BreathingIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal scale READ scale WRITE setScale)
public:
    static constexpr qreal kPeakScale = 1.035;
    static constexpr int kHalfPeriodMs = 1800;
    // Shortest time between two frames of the breathing.
    static constexpr int kFrameIntervalMs = 100;

    explicit BreathingIcon(std::optional<QIcon> icon, QWidget* parent = nullptr);

    void startBreathing();
    // Stops the breathing for good, at rest size.
    void holdStill();
    // The running animation (out, then back), or null when the icon is still.
    QSequentialAnimationGroup* breathingAnimation() const { return m_animation; }
    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    bool hasIcon() const { return m_icon.has_value(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followExposure();

    std::optional<QIcon> m_icon;
    QSequentialAnimationGroup* m_animation = nullptr;
    qreal m_scale = 1.0;
    QElapsedTimer m_sinceFrame;
    QPointer<QWindow> m_watchedWindow;
};
