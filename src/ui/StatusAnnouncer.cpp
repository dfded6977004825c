// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/StatusAnnouncer.h"

#include "ui/AccessibleTree.h"

#include <QAccessible>
#include <QTimer>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QAccessibleAnnouncementEvent>
#endif

StatusAnnouncer::StatusAnnouncer(QWidget& speaker) : QWidget(&speaker)
{
    AccessibleTree::present(*this, AccessibleTree::Kind::Notification);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 1, 1);
    hide();
}

void StatusAnnouncer::announce(const QString& text)
{
    m_text = text;
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, &StatusAnnouncer::speak);
}

void StatusAnnouncer::speak()
{
    m_pending = false;
    if (m_text.isEmpty())
        return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(parentWidget(), m_text);
    QAccessible::updateAccessibility(&announcement);
#else
    // A notification is read out when it shows. It draws nothing, so it stays shown
    // until the next one: a screen reader that looks at it a moment later still finds
    // it showing.
    setAccessibleName(m_text);
    hide();
    show();
#endif
}
