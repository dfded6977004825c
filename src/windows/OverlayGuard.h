// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QWindow;

// Keeps the overlays of a lock in front where the desktop does not do it for us (GNOME:
// no overlay layer, so the overlays are ordinary full-screen windows that any new or
// full-screen window can cover). There the focus is the one sign that something came
// in front: when it leaves our windows, or they never get it, the overlay with the Unlock
// button is shown afresh, which puts it on top again; when that does not keep the focus (a few
// fresh showings within a few seconds), the lock is given up rather than left with its Unlock
// button hidden.
class OverlayGuard final : public QObject {
    Q_OBJECT
public:
    // How long the focus may be elsewhere before the overlay is shown afresh, and how
    // long a fresh showing has to bring it back.
    static constexpr int kGraceMs = 100;
    static constexpr int kDeadlineMs = 400;
    // Fresh showings within kTriesWindowMs after which the lock is given up.
    static constexpr int kMaxTries = 3;
    static constexpr int kTriesWindowMs = 5000;

    struct Hooks {
        // Whether the window is one of the lock's own.
        std::function<bool(const QWindow*)> isOurs;
        // Shows the overlay with the button afresh, focused.
        std::function<void()> showAfresh;
        // The overlays cannot be kept in front: end the lock.
        std::function<void()> giveUp;
    };

    explicit OverlayGuard(Hooks hooks);

    // From the overlays being shown until they are hidden.
    void watch();
    void stop();
    bool isWatching() const { return m_watching; }

private:
    void focusChanged(QWindow* window);
    void check();

    Hooks m_hooks;
    bool m_watching = false;
    QElapsedTimer m_clock;
    QList<qint64> m_tries; // when each recent fresh showing happened
    QTimer m_timer;
    QMetaObject::Connection m_focus;
};
