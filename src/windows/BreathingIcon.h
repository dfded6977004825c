// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QWidget>

#include <optional>

class QSequentialAnimationGroup;

// The application icon, drawn scaled about its own centre. Breathing animates the
// scale from 1.0 to 1.035 and back, 1.8 s each way, for as long as the icon lives.
class BreathingIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal scale READ scale WRITE setScale)
public:
    static constexpr qreal kPeakScale = 1.035;
    static constexpr int kHalfPeriodMs = 1800;

    explicit BreathingIcon(std::optional<QIcon> icon, QWidget* parent = nullptr);

    void startBreathing();
    // The running animation (out, then back), or null when the icon is still.
    QSequentialAnimationGroup* breathingAnimation() const { return m_animation; }
    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    bool hasIcon() const { return m_icon.has_value(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QIcon> m_icon;
    QSequentialAnimationGroup* m_animation = nullptr;
    qreal m_scale = 1.0;
};
