// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QStringList>

// Runs a stand-in system service (a program of tests/support) for one test and calls it.
// Calls block; one that fails answers an error message, never a plausible answer.
class StandInProcess {
public:
    StandInProcess(QString program, QString service, QString path, QString interface);
    ~StandInProcess();
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    // Starts it and waits until it owns its name on the system bus. An empty string on
    // success, otherwise what went wrong.
    QString start();

protected:
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) const;
    QStringList listFrom(const QDBusMessage& reply) const;
    bool boolFrom(const QDBusMessage& reply) const;

private:
    bool serviceIsRegistered() const;

    QString m_program;
    QString m_service;
    QString m_path;
    QString m_interface;
    QProcess m_process;
};
