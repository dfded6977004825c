// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/OverlayGuard.h"

#include <QGuiApplication>
#include <QWindow>

OverlayGuard::OverlayGuard(Hooks hooks) : m_hooks(std::move(hooks))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &OverlayGuard::check);
}

void OverlayGuard::watch()
{
    stop();
    m_watching = true;
    m_tries.clear();
    m_clock.start();
    m_focus =
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &OverlayGuard::focusChanged);
    // The first showing has to bring the focus too.
    m_shownAt = 0;
    m_onScreenAt = -1;
    m_timer.start(kPollMs);
}

void OverlayGuard::stop()
{
    m_watching = false;
    disconnect(m_focus);
    m_timer.stop();
}

bool OverlayGuard::inFront() const
{
    const QWindow* key = m_hooks.keyWindow();
    return key && QGuiApplication::focusWindow() == key;
}

void OverlayGuard::focusChanged(QWindow*)
{
    if (!m_watching)
        return;
    if (inFront()) {
        m_timer.stop();
        m_shownAt = -1;
        return;
    }
    if (!m_timer.isActive())
        m_timer.start(kGraceMs);
}

void OverlayGuard::check()
{
    if (!m_watching || inFront())
        return;
    const qint64 now = m_clock.elapsed();
    const QWindow* key = m_hooks.keyWindow();
    // A click on another of our overlays takes the focus there: shown afresh for that as
    // often as it happens. Only a showing that failed, or one against another program's
    // window, is a try.
    bool isTry = !m_hooks.isOurs(QGuiApplication::focusWindow());
    if (m_shownAt >= 0 && key) {
        // A showing on its way: not replaced before it has had its chance on screen.
        if (!key->isExposed() && now - m_shownAt < kShowLimitMs) {
            m_timer.start(kPollMs);
            return;
        }
        if (m_onScreenAt < 0)
            m_onScreenAt = now;
        if (now - m_onScreenAt < kDeadlineMs) {
            m_timer.start(int(m_onScreenAt + kDeadlineMs - now));
            return;
        }
        m_shownAt = -1;
        isTry = true;
    }
    showAfresh(isTry);
}

void OverlayGuard::showAfresh(bool isTry)
{
    const qint64 now = m_clock.elapsed();
    m_tries.removeIf([now](qint64 at) { return now - at > kTriesWindowMs; });
    if (isTry) {
        if (m_tries.size() >= kMaxTries) {
            stop();
            m_hooks.giveUp();
            return;
        }
        m_tries.append(now);
    }
    m_shownAt = now;
    m_onScreenAt = -1;
    m_hooks.showAfresh();
    if (m_watching)
        m_timer.start(kPollMs);
}
