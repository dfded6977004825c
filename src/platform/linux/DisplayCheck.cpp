// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/DisplayCheck.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

// What the Wayland client library would connect to: WAYLAND_DISPLAY, a socket name in
// XDG_RUNTIME_DIR or a path of its own.
bool waylandReachable()
{
    const QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty())
        return false;
    const QString path = QDir::isAbsolutePath(name)
                             ? name
                             : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + name;
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::copy(encoded.begin(), encoded.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool reached =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return reached;
}

} // namespace

QString unopenableDisplay(QString platformName)
{
    if (platformName.isEmpty())
        platformName = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platformName.isEmpty() && !platformName.startsWith(QLatin1String("xcb")))
        return {};
    if (platformName.isEmpty() && waylandReachable())
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("tavimo: cannot open a display: DISPLAY is empty or not set, and no "
                              "Wayland display is reachable");
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (!failed)
        return {};
    return QStringLiteral("tavimo: cannot open display \u201c%1\u201d")
        .arg(QString::fromLocal8Bit(display));
}

} // namespace platform
