// SPDX-License-Identifier: GPL-3.0-or-later

// The stand-in keyboard-lock service: owns app.tavimo.Tavimo.KeyboardLock on the system bus
// named by DBUS_SYSTEM_BUS_ADDRESS (a private one: see with-bus.sh) until killed, and
// answers Lock, CanLock and Authorize the way the real service does, without touching any
// device. Each lock is one end of a socket pair; the stand-in keeps the other and records
// every heartbeat byte. Like the real service it gives the keyboard back after a silence
// ('R' on the lock's socket, 2 s unless told otherwise) and takes it again on the next
// heartbeat ('L'). Tests drive it and read what it saw through the control object.
//   fake-lock-service [initial CanLock answer, "yes" by default]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {
const QString kInterface = QStringLiteral("app.tavimo.Tavimo.KeyboardLock1");
} // namespace

struct StandInState {
    QString answer = QStringLiteral("yes");
    QString lockError; // empty: Lock() grants
    bool authorizeGrants = false;
    QStringList calls; // "CanLock", "Lock", "Authorize:interactive" or "Authorize:plain"
    QString lockState = QStringLiteral("none"); // "held", "released" (by the client), "ended"
    QStringList heartbeats;                     // ms after the lock was granted, one per byte
    int silenceMs = 2000; // heartbeat silence after which the keyboard is given back
    QStringList sent;     // "R@ms" or "L@ms", what the stand-in wrote to the lock
};

class KeyboardLock : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tavimo.Tavimo.KeyboardLock1")

public:
    explicit KeyboardLock(StandInState& state) : m_state(state)
    {
        m_silence.setSingleShot(true);
        connect(&m_silence, &QTimer::timeout, this, [this] { m_givenBack = send('R'); });
    }
    // Writes one message byte to the lock's socket, as the service does.
    bool send(char byte)
    {
        if (!m_notifier || ::send(m_fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1)
            return false;
        m_state.sent.append(
            QStringLiteral("%1@%2").arg(QChar::fromLatin1(byte)).arg(m_granted.elapsed()));
        return true;
    }
    void endLock()
    {
        if (m_notifier) {
            closeOurEnd();
            m_state.lockState = QStringLiteral("ended");
        }
    }

signals:
    void CanLockChanged();

public slots:
    QString CanLock()
    {
        m_state.calls.append(QStringLiteral("CanLock"));
        return m_state.answer;
    }

    void Authorize()
    {
        m_state.calls.append(message().isInteractiveAuthorizationAllowed()
                                 ? QStringLiteral("Authorize:interactive")
                                 : QStringLiteral("Authorize:plain"));
        if (m_state.authorizeGrants)
            m_state.answer = QStringLiteral("yes");
        else
            sendErrorReply(kInterface + QStringLiteral(".Error.NotAuthorized"),
                           QStringLiteral("Not authorized (stand-in)"));
    }

    QDBusUnixFileDescriptor Lock()
    {
        m_state.calls.append(QStringLiteral("Lock"));
        int ends[2];
        if (!m_state.lockError.isEmpty() ||
            ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
            sendErrorReply(kInterface + QStringLiteral(".Error.") + m_state.lockError,
                           QStringLiteral("Refused (stand-in)"));
            return {};
        }
        endLock();
        m_fd = ends[0];
        m_state.lockState = QStringLiteral("held");
        m_state.heartbeats.clear();
        m_state.sent.clear();
        m_givenBack = false;
        m_granted.start();
        m_silence.start(m_state.silenceMs);
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char byte;
            if (::recv(m_fd, &byte, 1, MSG_DONTWAIT) > 0) {
                m_state.heartbeats.append(QString::number(m_granted.elapsed()));
                if (m_givenBack) // by the silence, not by a test's Send
                    m_givenBack = !send('L');
                m_silence.start(m_state.silenceMs);
                return;
            }
            closeOurEnd();
            m_state.lockState = QStringLiteral("released");
        });
        // The reply carries a duplicate; ours closes, so the client holds the only copy.
        const QDBusUnixFileDescriptor clientEnd(ends[1]);
        ::close(ends[1]);
        return clientEnd;
    }

private:
    void closeOurEnd()
    {
        m_silence.stop();
        m_notifier->setEnabled(false);
        m_notifier->deleteLater(); // may be inside its own signal
        m_notifier = nullptr;
        ::close(m_fd);
    }

    StandInState& m_state;
    QPointer<QSocketNotifier> m_notifier;
    int m_fd = -1;
    QElapsedTimer m_granted;
    QTimer m_silence;
    bool m_givenBack = false;
};

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tavimo.Tavimo.Test.LockServiceControl")

public:
    Control(StandInState& state, KeyboardLock& lock) : m_state(state), m_lock(lock) {}

public slots:
    // announce: emit CanLockChanged, as the service does when something it depends on changed.
    bool SetCanLock(const QString& answer, bool announce)
    {
        m_state.answer = answer;
        if (announce)
            emit m_lock.CanLockChanged();
        return true;
    }
    // An error name below the interface's Error (e.g. "Busy"), or empty to grant.
    bool SetLockError(const QString& name) { return (m_state.lockError = name), true; }
    bool SetAuthorizeGrants(bool grants) { return (m_state.authorizeGrants = grants), true; }
    bool EndLock() { return m_lock.endLock(), true; }
    // "R" or "L": writes it to the lock's socket now.
    bool Send(const QString& byte) { return byte.size() == 1 && m_lock.send(byte[0].toLatin1()); }
    bool SetSilenceMs(int ms) { return (m_state.silenceMs = ms), true; }
    QStringList Sent() const { return m_state.sent; }
    QStringList Calls() const { return m_state.calls; }
    QString LockState() const { return m_state.lockState; }
    QStringList Heartbeats() const { return m_state.heartbeats; }

private:
    StandInState& m_state;
    KeyboardLock& m_lock;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StandInState state;
    if (argc > 1)
        state.answer = QString::fromLocal8Bit(argv[1]);
    KeyboardLock lock(state);
    Control control(state, lock);
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/app/tavimo/Tavimo/KeyboardLock"), &lock,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerObject(QStringLiteral("/control"), &control,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("app.tavimo.Tavimo.KeyboardLock"))) {
        std::fprintf(stderr, "fake-lock-service: cannot own its name: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakeLockServiceMain.moc"
