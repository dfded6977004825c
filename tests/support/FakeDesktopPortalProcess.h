// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QStringList>
#include <QVariant>

// Runs the stand-in desktop portal on the session bus for one test and changes its settings.
class FakeDesktopPortalProcess {
public:
    FakeDesktopPortalProcess() = default;
    ~FakeDesktopPortalProcess() { stop(); }
    FakeDesktopPortalProcess(const FakeDesktopPortalProcess&) = delete;
    FakeDesktopPortalProcess& operator=(const FakeDesktopPortalProcess&) = delete;

    // Starts it with the given arguments (see fakeDesktopPortalMain.cpp) and waits until it
    // owns its name. An empty string on success, otherwise what went wrong.
    QString start(const QStringList& arguments = {});
    // Kills it and waits until the bus has seen its name go.
    void stop();
    // Changes one setting; the portal emits SettingChanged. False when it could not be told.
    bool set(const QString& group, const QString& key, const QVariant& value);

private:
    QProcess m_process;
};
