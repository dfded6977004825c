// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11RunLoopSource.h"

#include "platform/x11/X11Tap.h"

#include <QTimer>

X11RunLoopSource::X11RunLoopSource(X11Tap& tap)
    : m_tap(&tap), m_notifier(tap.connectionFd(), QSocketNotifier::Read)
{
    m_notifier.setEnabled(false);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] { drain(); });
    tap.attachSource(this);
}

X11RunLoopSource::~X11RunLoopSource()
{
    if (m_tap)
        m_tap->detachSource(this);
}

void X11RunLoopSource::setInstalled(bool installed)
{
    m_notifier.setEnabled(installed && m_tap);
    if (installed)
        scheduleDrain();
}

void X11RunLoopSource::scheduleDrain()
{
    if (isInstalled())
        QTimer::singleShot(0, &m_notifier, [this] { drain(); });
}

void X11RunLoopSource::tapGone()
{
    m_notifier.setEnabled(false);
    m_tap = nullptr;
}

void X11RunLoopSource::drain()
{
    if (m_tap && isInstalled())
        m_tap->drainEvents();
}
