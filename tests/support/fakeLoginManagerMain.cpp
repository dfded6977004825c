// The stand-in login manager: owns org.freedesktop.login1 on the system bus named by
// DBUS_SYSTEM_BUS_ADDRESS (a private one: see with-system-bus.sh) until killed, and
// answers Inhibit. Each granted lock is the write end of a pipe; the stand-in keeps the
// read end and so sees the moment the client closes its copy (end of file).
// Tests drive it and read what it saw through SetBehaviour, States and Request.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

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
    // Per request: "pending", "refused", "held", or "released" (granted, then let go).
    QStringList States() const { return m_states; }
    // what, who, why, mode of request `index`; empty when there is none.
    QStringList Request(uint index) const { return m_requests.value(index); }

private:
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

    bool m_refuse = false;
    int m_delayMs = 0;
    QList<QStringList> m_requests;
    QStringList m_states;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeLoginManager manager;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "fake-login-manager: cannot own org.freedesktop.login1: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakeLoginManagerMain.moc"
