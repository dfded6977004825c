// SPDX-License-Identifier: GPL-3.0-or-later

// The stand-in polkit authority: owns org.freedesktop.PolicyKit1 on the system bus named by
// DBUS_SYSTEM_BUS_ADDRESS until killed, and answers CheckAuthorization as a test told it
// (SetAnswer), recording every check (Checks), each answer after SetDelay's milliseconds.
// Changing the answer emits Changed, as polkit does when its rules change.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTimer>

#include <cstdio>

struct Subject {
    QString kind;
    QVariantMap details;
};
Q_DECLARE_METATYPE(Subject)

QDBusArgument& operator<<(QDBusArgument& out, const Subject& subject)
{
    out.beginStructure();
    out << subject.kind << subject.details;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Subject& subject)
{
    in.beginStructure();
    in >> subject.kind >> subject.details;
    in.endStructure();
    return in;
}

using Details = QMap<QString, QString>;
Q_DECLARE_METATYPE(Details)

struct AuthorizationResult {
    bool authorized = false;
    bool challenge = false;
    Details details;
};
Q_DECLARE_METATYPE(AuthorizationResult)

QDBusArgument& operator<<(QDBusArgument& out, const AuthorizationResult& result)
{
    out.beginStructure();
    out << result.authorized << result.challenge << result.details;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, AuthorizationResult& result)
{
    in.beginStructure();
    in >> result.authorized >> result.challenge >> result.details;
    in.endStructure();
    return in;
}

class FakeAuthority : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PolicyKit1.Authority")

public slots:
    AuthorizationResult CheckAuthorization(const Subject& subject, const QString& actionId,
                                           const Details&, uint flags, const QString&)
    {
        m_checks.append(QStringLiteral("%1 %2 %3 %4")
                            .arg(subject.kind,
                                 subject.details.value(QStringLiteral("name")).toString(), actionId)
                            .arg(flags));
        AuthorizationResult result;
        if (m_answer == QLatin1String("yes"))
            result.authorized = true;
        else if (m_answer == QLatin1String("challenge") && (flags & 1))
            result.authorized = true; // the user authenticated
        else if (m_answer == QLatin1String("challenge"))
            result.challenge = true;
        if (m_delayMs > 0) {
            setDelayedReply(true);
            QTimer::singleShot(m_delayMs, this, [call = message(), result] {
                QDBusConnection::systemBus().send(call.createReply(QVariant::fromValue(result)));
            });
        }
        return result;
    }
    bool SetDelay(uint delayMs)
    {
        m_delayMs = int(delayMs);
        return true;
    }
    bool SetAnswer(const QString& answer)
    {
        if (answer != QLatin1String("yes") && answer != QLatin1String("no") &&
            answer != QLatin1String("challenge"))
            return false;
        m_answer = answer;
        emit Changed();
        return true;
    }
    QStringList Checks() const { return m_checks; }

signals:
    void Changed();

private:
    QString m_answer = QStringLiteral("yes");
    QStringList m_checks;
    int m_delayMs = 0;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Subject>();
    qDBusRegisterMetaType<Details>();
    qDBusRegisterMetaType<AuthorizationResult>();
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeAuthority authority;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/PolicyKit1/Authority"), &authority,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.freedesktop.PolicyKit1"))) {
        std::fprintf(stderr, "fake-polkit: cannot own org.freedesktop.PolicyKit1: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    return app.exec();
}

#include "fakePolkitMain.moc"
