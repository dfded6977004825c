// SPDX-License-Identifier: GPL-3.0-or-later

// The stand-in desktop portal: owns org.freedesktop.portal.Desktop on the session bus named
// by DBUS_SESSION_BUS_ADDRESS (a private one: see with-bus.sh) until killed, and
// answers the Settings interface from a table of its own. Tests change the table through
// Set on /control, which emits SettingChanged as a real portal does.
//   fake-desktop-portal [--version-1] [group key uint|bool value]…
// With --version-1 it has no ReadOne, as portals before version 2 of the interface.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMap>

#include <cstdio>

class FakePortalSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    bool hasReadOne = true;
    QMap<QPair<QString, QString>, QVariant> table;

    void change(const QString& group, const QString& key, const QVariant& value)
    {
        table.insert({group, key}, value);
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        QDBusConnection::sessionBus().send(signal);
    }

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key)
    {
        if (!hasReadOne) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method ReadOne"));
            return {};
        }
        return valueOf(group, key);
    }
    // The old method wraps the value in one variant more.
    QDBusVariant Read(const QString& group, const QString& key)
    {
        return QDBusVariant(QVariant::fromValue(valueOf(group, key)));
    }

private:
    QDBusVariant valueOf(const QString& group, const QString& key)
    {
        const auto found = table.constFind({group, key});
        if (found == table.constEnd()) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                           QStringLiteral("Requested setting not found"));
            return {};
        }
        return QDBusVariant(*found);
    }
};

class FakePortalControl : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tavimo.Test.FakePortal")

public:
    explicit FakePortalControl(FakePortalSettings& settings) : m_settings(settings) {}

public slots:
    void Set(const QString& group, const QString& key, const QDBusVariant& value)
    {
        m_settings.change(group, key, value.variant());
    }

private:
    FakePortalSettings& m_settings;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FakePortalSettings settings;
    QStringList arguments = app.arguments().mid(1);
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--version-1")) {
        settings.hasReadOne = false;
        arguments.removeFirst();
    }
    for (qsizetype i = 0; i + 3 < arguments.size(); i += 4) {
        const QString& type = arguments[i + 2];
        const QString& text = arguments[i + 3];
        settings.table.insert({arguments[i], arguments[i + 1]},
                              type == QLatin1String("bool")
                                  ? QVariant(text == QLatin1String("true"))
                                  : QVariant(text.toUInt()));
    }
    FakePortalControl control(settings);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &settings,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerObject(QStringLiteral("/control"), &control,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake-desktop-portal: cannot own org.freedesktop.portal.Desktop: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakeDesktopPortalMain.moc"
