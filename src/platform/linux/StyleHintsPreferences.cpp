// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/StyleHintsPreferences.h"

#include <QGuiApplication>
#include <QStyleHints>

namespace platform {

StyleHintsPreferences::StyleHintsPreferences()
{
    connect(&m_portal, &DesktopPreferences::settled, this, &DesktopPreferences::settled);
}

void StyleHintsPreferences::follow()
{
    if (m_following)
        return;
    m_following = true;
    if (QStyleHints* hints = QGuiApplication::styleHints())
        // Queued: Qt hands its own palette out after the signal, and ours must come last.
        connect(hints, &QStyleHints::colorSchemeChanged, this,
                &DesktopPreferences::colorSchemeChanged, Qt::QueuedConnection);
    m_portal.follow();
}

ColorScheme StyleHintsPreferences::colorScheme() const
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    switch (hints ? hints->colorScheme() : Qt::ColorScheme::Unknown) {
    case Qt::ColorScheme::Dark:
        return ColorScheme::Dark;
    case Qt::ColorScheme::Light:
        return ColorScheme::Light;
    default:
        return ColorScheme::NoPreference;
    }
}

} // namespace platform
