// SPDX-License-Identifier: GPL-3.0-or-later

// The stand-in idle inhibitors: owns org.gnome.SessionManager and org.freedesktop.ScreenSaver
// on the session bus named by DBUS_SESSION_BUS_ADDRESS (a private one: see with-bus.sh)
// until killed. Each hands out cookies on Inhibit and forgets them on its un-inhibit call,
// as the real ones do. Tests read what is held through Held on /control.
//   fake-idle-inhibit [reply-delay-ms]
// With a delay, Inhibit answers that much later: a cookie can arrive after the lock ended.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMap>
#include <QTimer>

#include <cstdio>

// Cookies of both services in one table: "<who> <arguments…>" by cookie.
struct Cookies {
    QMap<uint, QString> byCookie;
    uint nextCookie = 1;
    int replyDelayMs = 0;
};

// Answers an Inhibit with a new cookie, now or after the reply delay.
inline uint inhibit(Cookies& held, QDBusContext& context, const QString& entry)
{
    const uint cookie = held.nextCookie++;
    if (held.replyDelayMs <= 0) {
        held.byCookie.insert(cookie, entry);
        return cookie;
    }
    context.setDelayedReply(true);
    const QDBusMessage reply = context.message().createReply(cookie);
    QTimer::singleShot(held.replyDelayMs, [&held, cookie, entry, reply] {
        held.byCookie.insert(cookie, entry);
        QDBusConnection::sessionBus().send(reply);
    });
    return 0;
}

class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit FakeScreenSaver(Cookies& held) : m_held(held) {}

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        return inhibit(m_held, *this, QStringLiteral("screensaver %1 %2").arg(application, reason));
    }
    void UnInhibit(uint cookie) { m_held.byCookie.remove(cookie); }

private:
    Cookies& m_held;
};

class FakeSessionManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")

public:
    explicit FakeSessionManager(Cookies& held) : m_held(held) {}

public slots:
    uint Inhibit(const QString& appId, uint toplevelXid, const QString& reason, uint flags)
    {
        return inhibit(
            m_held, *this,
            QStringLiteral("gnome %1 %2 %3 %4").arg(appId).arg(toplevelXid).arg(reason).arg(flags));
    }
    void Uninhibit(uint cookie) { m_held.byCookie.remove(cookie); }

private:
    Cookies& m_held;
};

class FakeIdleControl : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tavimo.Test.FakeIdleInhibit")

public:
    explicit FakeIdleControl(Cookies& held) : m_held(held) {}

public slots:
    QStringList Held() const { return m_held.byCookie.values(); }
    uint Handed() const { return m_held.nextCookie - 1; }

private:
    ::Cookies& m_held;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Cookies held;
    if (app.arguments().size() > 1)
        held.replyDelayMs = app.arguments().at(1).toInt();
    FakeScreenSaver screenSaver(held);
    FakeSessionManager sessionManager(held);
    FakeIdleControl control(held);
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The screen saver's name last: a test waits for it and then finds both.
    if (!bus.registerObject(QStringLiteral("/org/gnome/SessionManager"), &sessionManager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerObject(QStringLiteral("/control"), &control,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.gnome.SessionManager")) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        std::fprintf(stderr, "fake-idle-inhibit: cannot own its names: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakeIdleInhibitMain.moc"
