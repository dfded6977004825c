#pragma once

#include <QProcess>
#include <QStringList>

// Runs the stand-in login manager for one test and asks it what it saw. Every query is
// a blocking call to the other process; one that fails answers {"unreachable"}, never a
// plausible answer, so a stand-in gone missing cannot pass for a released lock.
class FakeLoginManagerProcess {
public:
    FakeLoginManagerProcess() = default;
    ~FakeLoginManagerProcess();
    FakeLoginManagerProcess(const FakeLoginManagerProcess&) = delete;
    FakeLoginManagerProcess& operator=(const FakeLoginManagerProcess&) = delete;

    // Starts it and waits until it owns its name on the system bus. An empty string on
    // success, otherwise what went wrong.
    QString start();

    // behaviour: "answer" or "refuse"; each answer waits delayMs.
    bool setBehaviour(const QString& behaviour, uint delayMs = 0);
    // One per Inhibit request, in order: "pending", "refused", "held" or "released".
    QStringList states();
    // what, who, why and mode of request `index`.
    QStringList request(uint index);

private:
    QProcess m_process;
};
