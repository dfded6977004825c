// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/AppearanceNotifier.h"

#include "platform/DesktopPreferences.h"
#include "ui/SystemColor.h"

#include <QApplication>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

AppearanceNotifier& AppearanceNotifier::instance()
{
    // Owned by the application object; views only use it on the main thread.
    static QPointer<AppearanceNotifier> notifier;
    if (!notifier)
        notifier = new AppearanceNotifier;
    return *notifier;
}

AppearanceNotifier::AppearanceNotifier() : QObject(QCoreApplication::instance())
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool AppearanceNotifier::isAppearanceChange(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::ApplicationPaletteChange:
    case QEvent::PaletteChange:
    case QEvent::ThemeChange:
    case QEvent::StyleChange:
        return true;
    default:
        return false;
    }
}

bool AppearanceNotifier::eventFilter(QObject* watched, QEvent* event)
{
    // An application-wide filter sees every event: keep the test cheap.
    if (event->type() == QEvent::ApplicationPaletteChange &&
        watched == QCoreApplication::instance())
        emit changed();
    return false;
}

void AppearanceNotifier::followDesktop()
{
    platform::DesktopPreferences& desktop = platform::desktopPreferences();
    connect(&desktop, &platform::DesktopPreferences::colorSchemeChanged, this,
            &AppearanceNotifier::applyDesktopPreference, Qt::UniqueConnection);
    connect(&desktop, &platform::DesktopPreferences::settled, this,
            &AppearanceNotifier::heardFromDesktop, Qt::UniqueConnection);
    desktop.follow();
}

bool AppearanceNotifier::hasHeardFromDesktop() const
{
    return platform::desktopPreferences().hasSettled();
}

void AppearanceNotifier::applyDesktopPreference()
{
    const platform::ColorScheme scheme = platform::desktopPreferences().colorScheme();
    const QPalette ofQt = m_paletteOfQt.value_or(QGuiApplication::palette());
    const bool qtAgrees =
        scheme == platform::ColorScheme::NoPreference ||
        appearanceOf(ofQt) ==
            (scheme == platform::ColorScheme::Dark ? Appearance::Dark : Appearance::Light);
    if (qtAgrees) {
        if (m_paletteOfQt) {
            m_paletteOfQt.reset();
            QApplication::setPalette(ofQt);
        }
        return;
    }
    m_paletteOfQt = ofQt;
    QApplication::setPalette(SystemColor::palette(
        appearanceOf(ofQt) == Appearance::Dark ? Appearance::Light : Appearance::Dark));
}
