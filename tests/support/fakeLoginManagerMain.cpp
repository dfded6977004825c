// SPDX-License-Identifier: GPL-3.0-or-later

// The stand-in login manager: owns org.freedesktop.login1 on the system bus named by
// DBUS_SYSTEM_BUS_ADDRESS (a private one: see with-bus.sh) until killed, and
// answers Inhibit. Each granted lock is the write end of a pipe; the stand-in keeps the
// read end and so sees the moment the client closes its copy (end of file).
// Tests drive it and read what it saw through SetBehaviour, States and Request.
// It also has one session, c1, which GetSessionByPID gives for every process (or, as for a
// program in a systemd user scope, none: then GetUser's Display names it); SetSession
// sets how it is found and whether it is active, local and whose, SetSeat its seat ("" for
// none), and SetLocked locks it as a screen locker would: LockedHint, or the Lock signal.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/c1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QString userPath(uint uid)
{
    return QStringLiteral("/org/freedesktop/login1/user/_%1").arg(uid);
}

} // namespace

// logind's (uo) and (so) property values.
struct UserRef {
    uint uid = 0;
    QDBusObjectPath path;
};
struct SessionRef {
    QString id;
    QDBusObjectPath path;
};
Q_DECLARE_METATYPE(UserRef)
Q_DECLARE_METATYPE(SessionRef)

QDBusArgument& operator<<(QDBusArgument& out, const UserRef& user)
{
    out.beginStructure();
    out << user.uid << user.path;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, UserRef& user)
{
    in.beginStructure();
    in >> user.uid >> user.path;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const SessionRef& session)
{
    out.beginStructure();
    out << session.id << session.path;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, SessionRef& session)
{
    in.beginStructure();
    in >> session.id >> session.path;
    in.endStructure();
    return in;
}

struct SessionState {
    QString lookup = QStringLiteral("pid"); // "pid", "display" or "none"
    bool active = true;
    bool remote = false;
    uint uid = ::getuid();
    QString seat = QStringLiteral("seat0");
    bool locked = false;
};

// The session and user objects: their properties, read with Get and GetAll.
class LoginObjects : public QDBusVirtualObject {
public:
    explicit LoginObjects(const SessionState& state) : m_state(state) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != kProperties)
            return false;
        QVariantMap properties;
        if (message.path() == kSessionPath) {
            UserRef user;
            user.uid = m_state.uid;
            user.path = QDBusObjectPath(userPath(m_state.uid));
            SessionRef seat;
            seat.id = m_state.seat;
            seat.path = QDBusObjectPath(m_state.seat.isEmpty()
                                            ? QStringLiteral("/")
                                            : QStringLiteral("/org/freedesktop/login1/seat/") +
                                                  m_state.seat);
            properties = {{QStringLiteral("Id"), QStringLiteral("c1")},
                          {QStringLiteral("Active"), m_state.active},
                          {QStringLiteral("Remote"), m_state.remote},
                          {QStringLiteral("Seat"), QVariant::fromValue(seat)},
                          {QStringLiteral("LockedHint"), m_state.locked},
                          {QStringLiteral("User"), QVariant::fromValue(user)}};
        } else if (message.path().startsWith(QStringLiteral("/org/freedesktop/login1/user/"))) {
            const bool none = m_state.lookup == QLatin1String("none");
            SessionRef display;
            display.id = none ? QString() : QStringLiteral("c1");
            display.path = QDBusObjectPath(none ? QStringLiteral("/") : kSessionPath);
            properties = {{QStringLiteral("Display"), QVariant::fromValue(display)}};
        } else {
            return false;
        }
        const QVariantList arguments = message.arguments();
        if (message.member() == QLatin1String("GetAll")) {
            connection.send(message.createReply(QVariant::fromValue(properties)));
        } else if (message.member() == QLatin1String("Get") && arguments.size() == 2 &&
                   properties.contains(arguments[1].toString())) {
            connection.send(message.createReply(
                QVariant::fromValue(QDBusVariant(properties.value(arguments[1].toString())))));
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownProperty,
                                                     QStringLiteral("no such property")));
        }
        return true;
    }

private:
    const SessionState& m_state;
};

class FakeLoginManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        m_requests.append({what, who, why, mode});
        m_states.append(QStringLiteral("pending"));
        setDelayedReply(true);
        const QDBusMessage call = message();
        const qsizetype index = m_requests.size() - 1;
        QTimer::singleShot(m_delayMs, this, [this, call, index] { answer(call, index); });
        return {};
    }
    // behaviour: "answer" or "refuse"; delayMs: how long each answer waits.
    bool SetBehaviour(const QString& behaviour, uint delayMs)
    {
        m_refuse = behaviour == QLatin1String("refuse");
        m_delayMs = int(delayMs);
        return m_refuse || behaviour == QLatin1String("answer");
    }
    QDBusObjectPath GetSessionByPID(uint)
    {
        if (m_session.lookup != QLatin1String("pid")) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"),
                           QStringLiteral("PID does not belong to any known session"));
            return {};
        }
        return QDBusObjectPath(kSessionPath);
    }
    QDBusObjectPath GetUser(uint uid) { return QDBusObjectPath(userPath(uid)); }
    bool SetSession(const QString& lookup, bool active, bool remote, uint uid)
    {
        const bool changed = active != m_session.active;
        m_session.lookup = lookup;
        m_session.active = active;
        m_session.remote = remote;
        m_session.uid = uid;
        if (changed)
            announce(QStringLiteral("Active"), active);
        return true;
    }
    bool SetSeat(const QString& seat)
    {
        m_session.seat = seat;
        return true;
    }
    // how: "hint" sets LockedHint (announced), "signal" sends the session's Lock signal,
    // "none" unlocks it again (LockedHint false).
    bool SetLocked(const QString& how)
    {
        if (how == QLatin1String("signal")) {
            QDBusConnection::systemBus().send(QDBusMessage::createSignal(
                kSessionPath, QStringLiteral("org.freedesktop.login1.Session"),
                QStringLiteral("Lock")));
            return true;
        }
        m_session.locked = how == QLatin1String("hint");
        announce(QStringLiteral("LockedHint"), m_session.locked);
        return true;
    }
    const SessionState& session() const { return m_session; }
    // Per request: "pending", "refused", "held", or "released" (granted, then let go).
    QStringList States() const { return m_states; }
    // what, who, why, mode of request `index`; empty when there is none.
    QStringList Request(uint index) const { return m_requests.value(index); }

private:
    void announce(const QString& property, bool value)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kSessionPath, kProperties,
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.freedesktop.login1.Session") << QVariantMap{{property, value}}
               << QStringList();
        QDBusConnection::systemBus().send(signal);
    }
    void answer(const QDBusMessage& call, qsizetype index)
    {
        int ends[2];
        if (m_refuse || ::pipe2(ends, O_CLOEXEC) != 0) {
            m_states[index] = QStringLiteral("refused");
            QDBusConnection::systemBus().send(call.createErrorReply(
                QDBusError::AccessDenied, QStringLiteral("Permission denied (stand-in)")));
            return;
        }
        {
            // The reply carries a duplicate; ours is closed at once, so that the client
            // holds the only write end.
            const QDBusUnixFileDescriptor writeEnd(ends[1]);
            ::close(ends[1]);
            QDBusConnection::systemBus().send(call.createReply(QVariant::fromValue(writeEnd)));
        }
        m_states[index] = QStringLiteral("held");
        auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier, index] {
            char byte;
            if (::read(int(notifier->socket()), &byte, 1) > 0)
                return;
            m_states[index] = QStringLiteral("released");
            notifier->setEnabled(false);
        });
    }

    SessionState m_session;
    bool m_refuse = false;
    int m_delayMs = 0;
    QList<QStringList> m_requests;
    QStringList m_states;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<UserRef>();
    qDBusRegisterMetaType<SessionRef>();
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeLoginManager manager;
    LoginObjects objects(manager.session());
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1/session"), &objects,
                                   QDBusConnection::SubPath) ||
        !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1/user"), &objects,
                                   QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "fake-login-manager: cannot own org.freedesktop.login1: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakeLoginManagerMain.moc"
