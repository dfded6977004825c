// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/LaunchToken.h"

#include <QString>

namespace platform {
namespace {
const QString kStartupIdKey = QStringLiteral("desktop-startup-id");
const QString kActivationTokenKey = QStringLiteral("activation-token");
} // namespace

LaunchToken LaunchToken::fromEnvironment()
{
    return {qgetenv("DESKTOP_STARTUP_ID"), qgetenv("XDG_ACTIVATION_TOKEN")};
}

QVariantMap LaunchToken::toPlatformData() const
{
    QVariantMap data;
    if (!startupId.isEmpty())
        data.insert(kStartupIdKey, QString::fromUtf8(startupId));
    if (!activationToken.isEmpty())
        data.insert(kActivationTokenKey, QString::fromUtf8(activationToken));
    return data;
}

LaunchToken LaunchToken::fromPlatformData(const QVariantMap& data)
{
    return {data.value(kStartupIdKey).toString().toUtf8(),
            data.value(kActivationTokenKey).toString().toUtf8()};
}

} // namespace platform
