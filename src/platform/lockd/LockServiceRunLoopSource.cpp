// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/lockd/LockServiceRunLoopSource.h"

#include "platform/lockd/LockServiceTap.h"

namespace platform {

LockServiceRunLoopSource::LockServiceRunLoopSource(LockServiceTap& tap) : m_tap(&tap)
{
    tap.attachSource(this);
}

LockServiceRunLoopSource::~LockServiceRunLoopSource()
{
    if (m_tap)
        m_tap->detachSource(this);
}

void LockServiceRunLoopSource::setInstalled(bool installed)
{
    if (m_tap)
        m_tap->setInstalled(installed);
}

} // namespace platform
