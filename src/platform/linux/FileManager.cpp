// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform::FileManager {
namespace {

// A file manager that is installed but not running is started by the bus first.
constexpr int kReplyTimeoutMs = 5000;

bool askFileManagerToShow(const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)}
         << qEnvironmentVariable("DESKTOP_STARTUP_ID");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

bool showItem(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (askFileManagerToShow(absolute))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(absolute).absolutePath()));
}

} // namespace platform::FileManager
