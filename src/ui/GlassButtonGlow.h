// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QGraphicsDropShadowEffect>

// The glow of the glass button: a soft accent shadow under the capsule and, while the
// button has the keyboard focus, a crisp accent ring around it. A stronger shadow
// alone changes too few pixels by too little to be seen.
class GlassButtonGlow : public QGraphicsDropShadowEffect {
    Q_OBJECT
public:
    static constexpr qreal kRingGap = 2;
    static constexpr qreal kRingWidth = 3;

    explicit GlassButtonGlow(QObject* parent = nullptr);

    void setRingVisible(bool visible);
    bool isRingVisible() const { return m_ringVisible; }
    // Corner radius of the capsule the ring goes around.
    void setCornerRadius(qreal radius);

protected:
    QRectF boundingRectFor(const QRectF& rect) const override;
    void draw(QPainter* painter) override;

private:
    bool m_ringVisible = false;
    qreal m_cornerRadius = 0;
};
