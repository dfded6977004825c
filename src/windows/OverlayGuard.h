// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QWindow;

// Keeps the overlay with the Unlock button in front where the desktop does not do it for
// us (GNOME: no overlay layer, so the overlays are ordinary full-screen windows that any
// new or full-screen window can cover). There the keyboard focus is the one sign of being
// in front: the window manager gives it to a window it maps or raises, and a window that
// comes above ours takes it. When the focus leaves that overlay, it is shown afresh, which
// puts it on top again. (Asking for the focus back through xdg-activation would be
// cheaper, but Qt 6.4 signs the request with the serial of the button's release, which
// mutter refuses.) When a few fresh showings within a few seconds do not keep the focus
// from other programs' windows, the lock is given up rather than left with its Unlock
// button hidden.
class OverlayGuard final : public QObject {
    Q_OBJECT
public:
    // How long the focus may be elsewhere before anything is done (it passes through no
    // window between two of ours), and how long an overlay on screen has to get it.
    static constexpr int kGraceMs = 100;
    static constexpr int kDeadlineMs = 400;
    // A fresh showing's time runs from when it is on screen: building and mapping it can
    // take a loaded machine long. Looked at this often, for at most this long.
    static constexpr int kPollMs = 25;
    static constexpr int kShowLimitMs = 2000;
    // Fresh showings within kTriesWindowMs after which the lock is given up.
    static constexpr int kMaxTries = 3;
    static constexpr int kTriesWindowMs = 5000;

    struct Hooks {
        // The overlay with the Unlock button; null while there is none.
        std::function<QWindow*()> keyWindow;
        // Whether the window is one of ours.
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
    bool inFront() const;
    void showAfresh(bool isTry);

    Hooks m_hooks;
    bool m_watching = false;
    qint64 m_shownAt = -1;    // when the last showing started, while it has not got the focus
    qint64 m_onScreenAt = -1; // when that showing was first seen on screen
    QElapsedTimer m_clock;
    QList<qint64> m_tries; // when each recent fresh showing happened
    QTimer m_timer;
    QMetaObject::Connection m_focus;
};
