#include "platform/linux/LinuxDesktop.h"

#include <QDesktopServices>
#include <QWindow>

namespace platform {

SystemVersion LinuxDesktop::systemVersion()
{
    return {SystemVersion::Os::Linux, 0, 0, 0};
}
bool LinuxDesktop::prefersReducedMotion()
{
    return false;
}
bool LinuxDesktop::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
void LinuxDesktop::openKeyboardAccessSettings() {}
bool LinuxDesktop::revealFile(const QString&)
{
    return false;
}
void LinuxDesktop::placeAboveAllWindows(QWindow&) {}
void LinuxDesktop::makeKeyWindow(QWindow& window)
{
    window.requestActivate();
}
bool LinuxDesktop::compositesWindows()
{
    return false;
}

} // namespace platform
