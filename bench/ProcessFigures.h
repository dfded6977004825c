// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <cstring>

#include <unistd.h>

// Another process's memory and CPU time, read from /proc. -1 when the process is gone.
namespace processfigures {

// A "Name:  value kB" line of /proc/PID/status, e.g. "VmRSS:".
inline long statusField(qint64 pid, const char* name)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(int(std::strlen(name))).trimmed().split(' ').first().toLong();
    return -1;
}

inline double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLong() + fields.value(12).toLong()) /
           double(sysconf(_SC_CLK_TCK));
}

} // namespace processfigures
