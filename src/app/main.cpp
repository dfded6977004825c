#include "app/AppDelegate.h"
#include "ui/AppIcon.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavimo"));
    // Ties the windows to the installed desktop entry: taskbar name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVIMO_APP_ID));
    if (const std::optional<QIcon> icon = AppIcon::image())
        QApplication::setWindowIcon(*icon);

    AppDelegate delegate;
    // Overlays are hidden at unlock, never closed, so only closing the main window counts.
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    QApplication::exec();
    return 0;
}
