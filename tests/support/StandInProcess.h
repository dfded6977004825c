// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>

// Runs a stand-in service (a program of tests/support) on a bus for one test and calls
// it. Calls block; one that fails answers an error message, never a plausible answer.
class StandInProcess {
public:
    StandInProcess(QString program, QString service, QString path, QString interface,
                   QDBusConnection::BusType bus = QDBusConnection::SystemBus);
    ~StandInProcess() { stop(); }
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    // Starts it with the given arguments and waits until it owns its name. An empty
    // string on success, otherwise what went wrong.
    QString start(const QStringList& arguments = {});
    // Kills it and waits until the bus has seen its name go, so that the next stand-in
    // can take it.
    void stop();

protected:
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) const;
    QStringList listFrom(const QDBusMessage& reply) const;
    bool boolFrom(const QDBusMessage& reply) const;

private:
    QDBusConnection connection() const;
    bool serviceIsRegistered() const;

    QString m_program;
    QString m_service;
    QString m_path;
    QString m_interface;
    QDBusConnection::BusType m_bus;
    QProcess m_process;
};
