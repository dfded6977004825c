// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/FakeLoginManagerProcess.h"
#include "support/FakePolkitProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

// The keyboard-lock service with stand-in devices (lockd-fake-host) on the private system
// bus, and the stand-in polkit and login manager it asks, as the service benchmarks run it.
class StandInLockService {
public:
    static inline const QString kService = QStringLiteral("app.tavimo.Tavimo.KeyboardLock");

    ~StandInLockService() { stopHost(); }

    // Starts the stand-in polkit and login manager; "" or what went wrong.
    QString startAuthorities()
    {
        for (const QString& problem : {m_polkit.start(), m_logind.start()})
            if (!problem.isEmpty())
                return problem;
        return {};
    }

    // Starts the service with stand-in devices, waits until it owns its name and plugs
    // `keyboards` keyboards and a mouse; "" or what went wrong.
    QString startHost(const QString& path, const QStringList& arguments, int keyboards)
    {
        m_host.start(path, arguments);
        QElapsedTimer waited;
        waited.start();
        while (!registered()) {
            if (waited.elapsed() > 10000)
                return QStringLiteral("%1 never took its name").arg(path);
            QThread::msleep(1);
        }
        for (int i = 0; i < keyboards; ++i)
            devices(QStringLiteral("Plug"), {QStringLiteral("keyboard"), false});
        devices(QStringLiteral("Plug"), {QStringLiteral("mouse"), false});
        return {};
    }

    // Kills the service and waits until its name has left the bus.
    void stopHost()
    {
        if (m_host.state() == QProcess::NotRunning)
            return;
        m_host.kill();
        m_host.waitForFinished();
        for (int i = 0; i < 5000 && registered(); ++i)
            QThread::msleep(1);
    }

    qint64 hostProcessId() const { return m_host.processId(); }

    // A call to the stand-in devices (Plug, GrabbedCount, …).
    static QDBusMessage devices(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/app/tavimo/Tavimo/Test/FakeDevices"),
            QStringLiteral("app.tavimo.Tavimo.Test.FakeDevices"), method);
        message.setArguments(arguments);
        return QDBusConnection::systemBus().call(message, QDBus::Block, 60000);
    }

    static bool registered()
    {
        return QDBusConnection::systemBus().interface()->isServiceRegistered(kService);
    }

private:
    FakePolkitProcess m_polkit;
    FakeLoginManagerProcess m_logind;
    QProcess m_host;
};
