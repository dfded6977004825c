// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// Has screen readers speak a status line that changed on a widget that does not have
// the focus: they ignore text changes on such a widget. Where Qt has announcements
// (6.8 on) it makes one; before that, an invisible notification named by the text shows
// for a moment, which screen readers read out the same way.
class StatusAnnouncer : public QWidget {
    Q_OBJECT
public:
    // The announcement comes from speaker, whose child it is.
    explicit StatusAnnouncer(QWidget& speaker);

    // Speaks text soon; several calls in one turn of the event loop speak the last once.
    void announce(const QString& text);

private:
    void speak();

    QString m_text;
    bool m_pending = false;
};
