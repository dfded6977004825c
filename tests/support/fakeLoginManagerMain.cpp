// The stand-in login manager: owns org.freedesktop.login1 on the system bus named by
// DBUS_SYSTEM_BUS_ADDRESS (a private one: see with-system-bus.sh) until killed; the
// kernel then closes every pipe it kept.
#include "support/FakeLoginManager.h"
#include "support/FakeLoginManagerControl.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake-login-manager: no system bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    FakeLoginManager manager;
    new FakeLoginManagerControl(&manager);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAdaptors) ||
        !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "fake-login-manager: cannot own org.freedesktop.login1: %s\n",
                     qPrintable(bus.lastError().message()));
        return 3;
    }
    return app.exec();
}
