// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// One of the guest tools (this folder) as a child process spoken to line by line.
class GuestTool {
public:
    GuestTool() = default;
    ~GuestTool();
    GuestTool(const GuestTool&) = delete;
    GuestTool& operator=(const GuestTool&) = delete;

    // Starts the tool and returns its first line ("ready …"), or "error …".
    QString start(const QString& program, const QStringList& arguments = {});
    // Sends one command and returns the next line, or "" after timeoutMs.
    QString ask(const QString& command, int timeoutMs = 15000);
    // Sends one command and returns the lines up to (not including) `last`.
    QStringList askUntil(const QString& command, const QString& last, int timeoutMs = 15000);
    // The next line the tool writes unasked, or "" after timeoutMs.
    QString nextLine(int timeoutMs);
    void send(const QString& command);
    // Closes the tool's input (most tools end then) and waits for it.
    void finish();
    void kill();
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    QProcess m_process;
};

// One device line of evdev-reader's "count".
struct DeviceCount {
    QString node;
    QString name;
    long keys = 0;
    long repeats = 0;
    long buttons = 0;
    long motions = 0;
    long dropped = 0;
    QString held;
};

class ReaderCounts {
public:
    explicit ReaderCounts(const QStringList& lines);
    // The latest device of that name; an empty count when the reader never saw one.
    DeviceCount device(const QString& name) const;
    const QList<DeviceCount>& devices() const { return m_devices; }

private:
    QList<DeviceCount> m_devices;
};

// Starts `device` as a virtual input device (virtual-input) of that kind and name and
// waits for udev; returns its node as the evdev `reader` lists it, or "" on failure.
QString plugVirtualDevice(GuestTool& device, GuestTool& reader, const char* kind,
                          const QString& name);
