// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/AppIcon.h"

#include "ui/UiResources.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>

namespace AppIcon {

namespace {

QString& resourcePathOverride()
{
    static QString path;
    return path;
}

// Every size the file holds, or nothing when not one of them can be read.
std::optional<QIcon> iconFromFile(const QString& path)
{
    if (!QFile::exists(path))
        return std::nullopt;
    QImageReader reader(path);
    QIcon icon;
    do {
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    if (icon.isNull())
        return std::nullopt;
    return icon;
}

// The compiled-in resource cannot change while the program runs, so it is decoded
// once (several milliseconds for three sizes; overlays ask on every lock). Any
// other path is read again on every call.
std::optional<QIcon> bundledIcon()
{
    const QString path = resourcePath();
    if (!path.startsWith(QLatin1String(":/")))
        return iconFromFile(path);
    static QString decodedPath;
    static std::optional<QIcon> decoded;
    if (decodedPath != path || !decoded) {
        decoded = iconFromFile(path);
        decodedPath = path;
    }
    return decoded;
}

QIcon asFullColour(QIcon icon)
{
    icon.setIsMask(false);
    return icon;
}

} // namespace

QString resourcePath()
{
    UiResources::ensureLoaded();
    const QString& override = resourcePathOverride();
    return override.isEmpty() ? QStringLiteral(":/tavimo/TavimoIcon.icns") : override;
}

void setResourcePathForTesting(const QString& path)
{
    resourcePathOverride() = path;
}

QString themeIconName()
{
    // The desktop entry's name is the application's icon name on freedesktop desktops.
    const QString desktopName = QGuiApplication::desktopFileName();
    return desktopName.isEmpty() ? QStringLiteral("tavimo") : desktopName;
}

std::optional<QIcon> image()
{
    if (std::optional<QIcon> bundled = bundledIcon())
        return asFullColour(*bundled);
    const QIcon named = QIcon::fromTheme(themeIconName());
    if (!named.isNull())
        return asFullColour(named);
    const QIcon running = QApplication::windowIcon();
    if (!running.isNull())
        return asFullColour(running);
    return std::nullopt;
}

} // namespace AppIcon
