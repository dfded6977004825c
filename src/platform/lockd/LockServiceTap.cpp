// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/lockd/LockServiceTap.h"

#include "platform/lockd/LockServiceRunLoopSource.h"

#include <QCoreApplication>

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

LockServiceTap::LockServiceTap(int fd, TapCallback callback, void* context)
    : m_fd(fd), m_callback(callback), m_context(context), m_hangup(fd, QSocketNotifier::Read),
      m_self(std::make_shared<LockServiceTap*>(this))
{
    m_hangup.setEnabled(false);
    // The service never writes: the descriptor reads only as end-of-file or an error.
    QObject::connect(&m_hangup, &QSocketNotifier::activated, &m_hangup, [this] { readHangup(); });
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(kHeartbeatInterval);
    QObject::connect(&m_heartbeat, &QTimer::timeout, &m_heartbeat, [this] { beat(); });
}

LockServiceTap::~LockServiceTap()
{
    if (m_source)
        m_source->tapGone();
    closeDescriptor();
}

void LockServiceTap::setEnabled(bool enable)
{
    if (!enable)
        closeDescriptor();
}

void LockServiceTap::setInstalled(bool installed)
{
    if (!isHeld())
        return;
    m_hangup.setEnabled(installed);
    if (!installed) {
        m_heartbeat.stop();
        return;
    }
    beat();
    m_heartbeat.start();
}

void LockServiceTap::attachSource(LockServiceRunLoopSource* source)
{
    if (m_source && m_source != source)
        m_source->tapGone();
    m_source = source;
}

void LockServiceTap::detachSource(LockServiceRunLoopSource* source)
{
    if (m_source == source)
        m_source = nullptr;
}

void LockServiceTap::beat()
{
    if (!isHeld())
        return;
    const char byte = 0;
    // MSG_NOSIGNAL: a service that closed its end must not kill us with SIGPIPE.
    if (::send(m_fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1)
        return;
    // A full queue means the service is slow to read, not gone.
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        endedByService();
}

void LockServiceTap::readHangup()
{
    char byte;
    const ssize_t got = ::recv(m_fd, &byte, 1, MSG_DONTWAIT);
    if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)))
        return;
    endedByService();
}

void LockServiceTap::endedByService()
{
    if (!isHeld())
        return;
    closeDescriptor();
    // Told from the main loop, not from here: the owner destroys the tap on hearing it.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    const std::weak_ptr<LockServiceTap*> self = m_self;
    QMetaObject::invokeMethod(
        app,
        [self] {
            if (const std::shared_ptr<LockServiceTap*> tap = self.lock())
                (*tap)->m_callback(nullptr, kEventTapEndedByPlatform, nullptr, (*tap)->m_context);
        },
        Qt::QueuedConnection);
}

void LockServiceTap::closeDescriptor()
{
    if (m_fd < 0)
        return;
    // Off before closing: the number may be reused by the next descriptor opened.
    m_hangup.setEnabled(false);
    m_heartbeat.stop();
    // Linux frees the descriptor even when close() is interrupted: never retry.
    ::close(m_fd);
    m_fd = -1;
}

} // namespace platform
