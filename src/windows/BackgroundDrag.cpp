// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/BackgroundDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

BackgroundDrag::BackgroundDrag(QWidget& background) : QObject(&background)
{
    background.installEventFilter(this);
}

bool BackgroundDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    QWindow* window = static_cast<QWidget*>(watched)->window()->windowHandle();
    if (!window)
        return false;
    ++m_movesStarted;
    // The window manager moves the window; false when the platform cannot (offscreen).
    window->startSystemMove();
    return true;
}
