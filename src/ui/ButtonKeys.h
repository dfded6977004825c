// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QKeyEvent>

// Return and keypad Enter press a focused button as Space does: keyboard users reach
// for either, and Qt's buttons take them only as a dialog's default button.
namespace ButtonKeys {

inline bool pressesLikeSpace(const QKeyEvent& event)
{
    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    return enter && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The Space press or release that stands for the event.
inline QKeyEvent spaceFor(const QKeyEvent& event)
{
    return QKeyEvent(event.type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                     event.isAutoRepeat());
}

} // namespace ButtonKeys
