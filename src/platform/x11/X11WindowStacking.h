// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWindow;
struct xcb_connection_t;

namespace platform {

// Keeps windows the window manager does not manage (override-redirect) above every
// other window while they are shown, without a compositor's shadow, hands them the
// keyboard focus, and gives the focus back when they hide.
//
// Stacking is watched on a connection of its own, so that selecting events on the
// root window never changes what Qt's connection has selected there.
class X11WindowStacking final : public QObject {
    Q_OBJECT
public:
    // Null when this process does not run on an X server.
    static X11WindowStacking* instance();

    ~X11WindowStacking() override;

    void keepAbove(QWindow& window);
    void makeKey(QWindow& window);
    // A compositing manager owns the _NET_WM_CM_S<screen> selection while it runs.
    bool compositingManagerRunning();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    X11WindowStacking(xcb_connection_t* qtConnection, int screenNumber);

    void castNoShadow(QWindow& window);
    void watchRoot(bool watch);
    void readEvents();
    void raiseKeptWindows();
    bool isKept(unsigned int windowId) const;
    void forget(QWindow* window);
    void giveFocusBack();

    xcb_connection_t* m_qtConnection;
    int m_screenNumber;
    unsigned int m_root = 0;
    xcb_connection_t* m_watcher = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    bool m_watchingRoot = false;
    QList<QPointer<QWindow>> m_kept;
    unsigned int m_shadowAtom = 0;

    QPointer<QWindow> m_keyWindow;
    unsigned int m_focusBefore = 0;
    unsigned char m_revertBefore = 0;
};

} // namespace platform
