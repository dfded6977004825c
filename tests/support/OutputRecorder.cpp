// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/OutputRecorder.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static QStringList g_messages;
static QtMessageHandler g_previousHandler = nullptr;

OutputRecorder::OutputRecorder()
{
    g_messages.clear();
    g_previousHandler = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { g_messages << text; });
    std::fflush(stderr);
    char path[] = "/tmp/tavimo-stderr-XXXXXX";
    if ((m_file = ::mkstemp(path)) >= 0)
        ::unlink(path);
    if (m_file >= 0 && (m_savedStderr = ::dup(STDERR_FILENO)) >= 0 &&
        ::dup2(m_file, STDERR_FILENO) < 0) {
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
    char buffer[4096];
    const ssize_t size = m_file >= 0 ? ::pread(m_file, buffer, sizeof buffer, 0) : 0;
    return size > 0 ? text + QString::fromLocal8Bit(buffer, size) : text;
}
