// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/PointerPressGuard.h"

#include <QEvent>
#include <QWidget>

PointerPressGuard::PointerPressGuard(QWidget& watched) : QObject(&watched)
{
    watched.installEventFilter(this);
}

void PointerPressGuard::holdBackFor(int ms)
{
    m_until.setRemainingTime(ms);
}

bool PointerPressGuard::eventFilter(QObject* watched, QEvent* event)
{
    // A button that never saw the press does not click on the release.
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (press && isHoldingBack())
        return true;
    return QObject::eventFilter(watched, event);
}
