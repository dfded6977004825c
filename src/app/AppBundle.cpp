// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppBundle.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace AppBundle {

std::optional<QString> containing(const QString& executablePath)
{
    if (executablePath.isEmpty())
        return std::nullopt;
    // Worked out on the path alone: the layout is what makes a bundle.
    const QString path = QDir::cleanPath(QFileInfo(executablePath).absoluteFilePath());
    QStringList parts = path.split(QLatin1Char('/'));
    // "", …, "<Name>.app", "Contents", "MacOS", "<program>"
    if (parts.size() < 5)
        return std::nullopt;
    const QString& bundleName = parts.at(parts.size() - 4);
    if (parts.at(parts.size() - 2) != QLatin1String("MacOS") ||
        parts.at(parts.size() - 3) != QLatin1String("Contents") ||
        !bundleName.endsWith(QLatin1String(".app")) || bundleName.size() <= 4)
        return std::nullopt;
    parts.resize(parts.size() - 3);
    return parts.join(QLatin1Char('/'));
}

} // namespace AppBundle
