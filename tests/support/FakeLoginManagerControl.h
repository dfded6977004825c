#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class FakeLoginManager;

// The tests' side door into the stand-in login manager: set how it answers and read
// what it was asked.
class FakeLoginManagerControl : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavimo.test.LoginManagerControl")

public:
    explicit FakeLoginManagerControl(FakeLoginManager* manager);

public slots:
    // behaviour: "answer" or "refuse"; delayMs: how long each answer waits.
    bool SetBehaviour(const QString& behaviour, uint delayMs);
    uint RequestCount() const;
    // what, who, why, mode of request `index`; empty when there is none.
    QStringList Request(uint index) const;
    bool IsGranted(uint index) const;
    // Granted and the client still holds its end.
    bool IsHeld(uint index) const;
    uint HeldCount() const;

private:
    FakeLoginManager* m_manager;
};
