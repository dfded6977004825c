// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

// Lets the user move a window by dragging any point of a background widget (and of
// its children that leave mouse presses to it), as with a title bar.
class BackgroundDrag : public QObject {
    Q_OBJECT
public:
    explicit BackgroundDrag(QWidget& background);

    // How many drags were handed to the window system; for tests.
    int movesStarted() const { return m_movesStarted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_movesStarted = 0;
};
