#pragma once

#include <QProcess>
#include <QStringList>

#include <optional>

// Runs the stand-in login manager for one test and asks it what it saw. Every query is
// a blocking call to the other process; one that fails answers std::nullopt, never a
// plausible "no", so a stand-in gone missing cannot pass for a released lock.
class FakeLoginManagerProcess {
public:
    FakeLoginManagerProcess() = default;
    ~FakeLoginManagerProcess();
    FakeLoginManagerProcess(const FakeLoginManagerProcess&) = delete;
    FakeLoginManagerProcess& operator=(const FakeLoginManagerProcess&) = delete;

    // Starts it and waits until it owns its name on the system bus. An empty string on
    // success, otherwise what went wrong.
    QString start();
    void stop();

    bool setBehaviour(const QString& behaviour, uint delayMs = 0);
    std::optional<uint> requestCount();
    std::optional<QStringList> request(uint index);
    std::optional<bool> isGranted(uint index);
    std::optional<bool> isHeld(uint index);
    std::optional<uint> heldCount();

private:
    QProcess m_process;
};
