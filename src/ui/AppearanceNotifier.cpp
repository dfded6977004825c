#include "ui/AppearanceNotifier.h"

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
