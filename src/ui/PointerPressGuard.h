// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDeadlineTimer>
#include <QObject>

class QWidget;

// Holds back presses of a mouse or touchpad on one widget for a while, and nothing else:
// keyboard and accessibility activation go through. For a button that appears, or
// changes meaning, under the pointer in the middle of a double-click.
class PointerPressGuard : public QObject {
    Q_OBJECT
public:
    // Watches the widget, which owns the guard.
    explicit PointerPressGuard(QWidget& watched);

    void holdBackFor(int ms);
    bool isHoldingBack() const { return !m_until.hasExpired(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDeadlineTimer m_until{0};
};
