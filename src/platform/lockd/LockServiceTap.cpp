// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/lockd/LockServiceTap.h"

#include "platform/lockd/LockServiceRunLoopSource.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

bool transient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

LockServiceTap::LockServiceTap(int fd, TapCallback callback, void* context)
    : m_fd(fd), m_callback(callback), m_context(context),
      m_self(std::make_shared<LockServiceTap*>(this))
{
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
    if (installed)
        startBeating();
    else
        stopBeating();
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

void LockServiceTap::startBeating()
{
    if (m_beater.joinable())
        return;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        // Without a way to stop a thread there is no thread: the lock would soon be
        // given back by the service unheard, so it is given up at once, and said so.
        post(m_self, Notice::Ended);
        return;
    }
    m_beater = std::thread(&LockServiceTap::beatUntilStopped, m_fd, m_wake,
                           std::weak_ptr<LockServiceTap*>(m_self));
}

void LockServiceTap::stopBeating()
{
    if (!m_beater.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    m_beater.join();
    ::close(m_wake);
    m_wake = -1;
}

void LockServiceTap::beatUntilStopped(int fd, int wake, std::weak_ptr<LockServiceTap*> self)
{
    Clock::time_point next = Clock::now();
    for (;;) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        pollfd watched[2] = {{wake, POLLIN, 0}, {fd, POLLIN, 0}};
        const int ready = ::poll(watched, 2, wait > 0 ? int(wait) : 0);
        if (ready < 0 && errno != EINTR) {
            post(self, Notice::Ended);
            return;
        }
        if (watched[0].revents != 0)
            return;
        if (watched[1].revents != 0) {
            char byte;
            const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && !transient(errno))) {
                post(self, Notice::Ended);
                return;
            }
            if (got == 1 && byte == kReleasedByService)
                post(self, Notice::Released);
            else if (got == 1 && byte == kRetakenByService)
                post(self, Notice::Retaken);
            // Anything else is not ours to understand: ignored.
        }
        if (Clock::now() < next)
            continue;
        const char beat = 0;
        // MSG_NOSIGNAL: a service that closed its end must not kill us with SIGPIPE.
        // A full queue means the service is slow to read, not gone.
        if (::send(fd, &beat, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1 && !transient(errno)) {
            post(self, Notice::Ended);
            return;
        }
        next += kHeartbeatInterval;
        // After a stall of the whole process, beat at once and keep the rhythm from now.
        if (next < Clock::now())
            next = Clock::now() + kHeartbeatInterval;
    }
}

void LockServiceTap::post(const std::weak_ptr<LockServiceTap*>& self, Notice notice)
{
    // Told from the main loop, never from inside a call of the owner: the owner may
    // destroy the tap on hearing that the lock ended.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [self, notice] {
            if (const std::shared_ptr<LockServiceTap*> tap = self.lock())
                (*tap)->heard(notice);
        },
        Qt::QueuedConnection);
}

void LockServiceTap::heard(Notice notice)
{
    switch (notice) {
    case Notice::Released:
        if (isHeld())
            m_callback(nullptr, kEventTapReleasedByPlatform, nullptr, m_context);
        return;
    case Notice::Retaken:
        if (isHeld())
            m_callback(nullptr, kEventTapRetakenByPlatform, nullptr, m_context);
        return;
    case Notice::Ended:
        break;
    }
    if (!isHeld())
        return; // let go by its owner meanwhile
    closeDescriptor();
    m_callback(nullptr, kEventTapEndedByPlatform, nullptr, m_context);
}

void LockServiceTap::closeDescriptor()
{
    if (m_fd < 0)
        return;
    // The thread first: the number may be reused by the next descriptor opened.
    stopBeating();
    // Linux frees the descriptor even when close() is interrupted: never retry.
    ::close(m_fd);
    m_fd = -1;
}

} // namespace platform
