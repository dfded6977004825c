// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/guest/GuestTool.h"

#include <QDeadlineTimer>

GuestTool::~GuestTool()
{
    kill();
}

QString GuestTool::start(const QString& program, const QStringList& arguments)
{
    // The tools' complaints belong in the test's log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("error cannot start %1").arg(program);
    const QString line = nextLine(20000);
    return line.isEmpty() ? QStringLiteral("error %1 said nothing").arg(program) : line;
}

void GuestTool::send(const QString& command)
{
    m_process.write(command.toUtf8() + '\n');
    m_process.waitForBytesWritten(5000);
}

QString GuestTool::ask(const QString& command, int timeoutMs)
{
    send(command);
    return nextLine(timeoutMs);
}

QStringList GuestTool::askUntil(const QString& command, const QString& last, int timeoutMs)
{
    send(command);
    QStringList lines;
    const QDeadlineTimer deadline(timeoutMs);
    for (QString line = nextLine(timeoutMs); !line.isEmpty() && line != last;
         line = nextLine(int(deadline.remainingTime())))
        lines.append(line);
    return lines;
}

QString GuestTool::nextLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return {};
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

void GuestTool::finish()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000))
        kill();
}

void GuestTool::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

ReaderCounts::ReaderCounts(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("device ")))
            continue;
        DeviceCount count;
        const qsizetype nameAt = line.indexOf(QLatin1String(" name="));
        count.name = nameAt < 0 ? QString() : line.mid(nameAt + 6);
        const QStringList words = line.left(nameAt).split(QLatin1Char(' '));
        count.node = words.value(1);
        for (const QString& word : words) {
            const QString key = word.section(QLatin1Char('='), 0, 0);
            const QString value = word.section(QLatin1Char('='), 1);
            if (key == QLatin1String("keys"))
                count.keys = value.toLong();
            else if (key == QLatin1String("repeats"))
                count.repeats = value.toLong();
            else if (key == QLatin1String("buttons"))
                count.buttons = value.toLong();
            else if (key == QLatin1String("motions"))
                count.motions = value.toLong();
            else if (key == QLatin1String("dropped"))
                count.dropped = value.toLong();
            else if (key == QLatin1String("held"))
                count.held = value;
        }
        m_devices.append(count);
    }
}

DeviceCount ReaderCounts::device(const QString& name) const
{
    DeviceCount found;
    for (const DeviceCount& count : m_devices)
        if (count.name == name)
            found = count;
    return found;
}

QString plugVirtualDevice(GuestTool& device, GuestTool& reader, const char* kind,
                          const QString& name)
{
    const QString ready =
        device.start(QStringLiteral(TAVIMO_VIRTUAL_INPUT), {QString::fromLatin1(kind), name});
    if (!ready.startsWith(QLatin1String("ready /dev/input/event")))
        return {};
    QProcess::execute(QStringLiteral("udevadm"), {QStringLiteral("settle")});
    return ReaderCounts(reader.askUntil(QStringLiteral("count"), QStringLiteral("end")))
        .device(name)
        .node;
}
