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
    m_timer.start(kDeadlineMs);
}

void OverlayGuard::stop()
{
    m_watching = false;
    disconnect(m_focus);
    m_timer.stop();
}

void OverlayGuard::focusChanged(QWindow* window)
{
    if (!m_watching)
        return;
    if (m_hooks.isOurs(window)) {
        m_timer.stop();
        return;
    }
    // A moment's grace: focus passing between two of our windows goes through none.
    if (!m_timer.isActive())
        m_timer.start(kGraceMs);
}

void OverlayGuard::check()
{
    if (!m_watching || m_hooks.isOurs(QGuiApplication::focusWindow()))
        return;
    const qint64 now = m_clock.elapsed();
    m_tries.removeIf([now](qint64 at) { return now - at > kTriesWindowMs; });
    if (m_tries.size() >= kMaxTries) {
        stop();
        m_hooks.giveUp();
        return;
    }
    m_tries.append(now);
    m_hooks.showAfresh();
    if (m_watching)
        m_timer.start(kDeadlineMs);
}
