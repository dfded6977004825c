#include "support/OutputRecorder.h"

#include <QtGlobal>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void recordMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

} // namespace

OutputRecorder::OutputRecorder()
{
    g_messages.clear();
    g_previousHandler = qInstallMessageHandler(recordMessage);
    char path[] = "/tmp/tavimo-stderr-XXXXXX";
    m_file = ::mkstemp(path);
    if (m_file < 0)
        return;
    ::unlink(path);
    std::fflush(stderr);
    m_savedStderr = ::dup(STDERR_FILENO);
    if (m_savedStderr >= 0 && ::dup2(m_file, STDERR_FILENO) < 0) {
        ::close(m_savedStderr);
        m_savedStderr = -1;
    }
}

OutputRecorder::~OutputRecorder()
{
    qInstallMessageHandler(g_previousHandler);
    std::fflush(stderr);
    if (m_savedStderr >= 0) {
        ::dup2(m_savedStderr, STDERR_FILENO);
        ::close(m_savedStderr);
    }
    if (m_file >= 0)
        ::close(m_file);
}

QString OutputRecorder::recorded() const
{
    std::fflush(stderr);
    QString text = g_messages.join(QLatin1Char('\n'));
    if (m_file < 0)
        return text;
    char buffer[4096];
    const ssize_t size = ::pread(m_file, buffer, sizeof buffer, 0);
    if (size > 0)
        text += QString::fromLocal8Bit(buffer, size);
    return text;
}
