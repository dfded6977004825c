// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/LinuxDesktop.h"

#include "platform/Platform.h"
#include "platform/linux/FileManager.h"
#include "platform/linux/IdleHoldOff.h"
#include "platform/linux/KeyboardAccessHelp.h"
#include "platform/linux/ReducedMotion.h"
#include "platform/x11/X11ScreenGrab.h"
#include "platform/x11/X11ScreenSaverSuspend.h"
#include "platform/x11/X11WindowStacking.h"

#include <QDesktopServices>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QSysInfo>
#include <QWindow>

namespace platform {

// The kernel's version: only informative on Linux, where no feature depends on it.
SystemVersion LinuxDesktop::systemVersion()
{
    SystemVersion version{SystemVersion::Os::Linux, 0, 0, 0};
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(QSysInfo::kernelVersion());
    if (match.hasMatch()) {
        version.major = match.captured(1).toInt();
        version.minor = match.captured(2).toInt();
        version.patch = match.captured(3).toInt();
    }
    return version;
}

bool LinuxDesktop::prefersReducedMotion()
{
    return desktopPrefersReducedMotion();
}

bool LinuxDesktop::openUrl(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

// Linux has no settings page for keyboard access: the help says what is missing, and
// where authentication is what is missing, offers to ask for it again.
void LinuxDesktop::openKeyboardAccessSettings()
{
    showKeyboardAccessHelp(keyboardAccess());
}

bool LinuxDesktop::revealFile(const QString& path)
{
    return FileManager::showItem(path);
}

void LinuxDesktop::placeAboveAllWindows(QWindow& window)
{
    if (X11WindowStacking* stacking = X11WindowStacking::instance())
        stacking->keepAbove(window);
}

void LinuxDesktop::holdOffIdle(bool held)
{
    if (!m_idleHoldOff)
        m_idleHoldOff = new IdleHoldOff;
    m_idleHoldOff->setHeld(held);
    X11ScreenSaverSuspend::suspend(held); // nothing on Wayland
}

void LinuxDesktop::makeKeyWindow(QWindow& window)
{
    if (X11WindowStacking* stacking = X11WindowStacking::instance())
        stacking->makeKey(window);
    else
        window.requestActivate();
}

bool LinuxDesktop::compositesWindows()
{
    X11WindowStacking* stacking = X11WindowStacking::instance();
    return stacking && stacking->compositingManagerRunning();
}

QImage LinuxDesktop::screenSnapshot(QScreen& screen, int shrinkFactor)
{
    const qreal ratio = screen.devicePixelRatio();
    if (X11WindowStacking::instance()) {
        const QRect area((QPointF(screen.geometry().topLeft()) * ratio).toPoint(),
                         (QSizeF(screen.geometry().size()) * ratio).toSize());
        const QImage shrunk = grabX11ScreenShrunk(area, shrinkFactor);
        if (!shrunk.isNull())
            return shrunk;
    }
    const QImage full = screen.grabWindow(0).toImage();
    if (full.isNull())
        return {};
    return full.scaled(full.size() / std::max(1, shrinkFactor), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);
}

} // namespace platform
