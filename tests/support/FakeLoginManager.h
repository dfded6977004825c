#pragma once

#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QVector>

class QSocketNotifier;

// A stand-in for systemd-logind's Inhibit, for tests on a private system bus. Each
// granted lock is the write end of a pipe; the stand-in keeps the read end and so sees
// the moment the client closes its copy (the read end then reports end of file).
class FakeLoginManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    enum class Behaviour { Answer, Refuse };

    struct Request {
        QString what;
        QString who;
        QString why;
        QString mode;
        bool granted = false;
        bool held = false; // granted and the client has not closed its end yet
    };

    explicit FakeLoginManager(QObject* parent = nullptr);
    ~FakeLoginManager() override;

    void setBehaviour(Behaviour behaviour, int delayMs);
    const QVector<Request>& requests() const { return m_requests; }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode);

private:
    void answer(const QDBusMessage& call, int index);
    void watchClientEnd(int readFd, int index);

    Behaviour m_behaviour = Behaviour::Answer;
    int m_delayMs = 0;
    QVector<Request> m_requests;
    QVector<QSocketNotifier*> m_notifiers;
};
