// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/lockd/LockServiceKeyboardAccess.h"

#include "platform/linux/KeyboardAccessHelp.h"
#include "platform/lockd/LockServiceRunLoopSource.h"
#include "platform/lockd/LockServiceTap.h"
#include "platform/x11/X11KeyboardAccess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>

namespace platform {

using namespace lockservice;

namespace {

TapRefusal refusalFor(const QString& errorName)
{
    if (errorName == kErrorNotAuthorized)
        return TapRefusal::NotPermitted;
    if (errorName == kErrorSessionNotActive)
        return TapRefusal::SessionNotActive;
    if (errorName == kErrorNoPointer)
        return TapRefusal::NoPointingDevice;
    if (errorName == kErrorKeysHeld)
        return TapRefusal::KeysHeld;
    if (errorName == kErrorBusy || errorName == kErrorAlreadyLocked)
        return TapRefusal::KeyboardHeldElsewhere;
    if (errorName.startsWith(QLatin1String("org.freedesktop.")))
        return TapRefusal::ServiceUnavailable; // not started, no reply, gone away
    return TapRefusal::Failed;
}

} // namespace

LockServiceKeyboardAccess::LockServiceKeyboardAccess() = default;

bool LockServiceKeyboardAccess::isInstalled() const
{
    return m_watcher.presence() == LockServiceWatcher::Presence::Present;
}

bool LockServiceKeyboardAccess::isProcessTrusted()
{
    return m_watcher.answer() == CanLock::Yes;
}

void LockServiceKeyboardAccess::promptForTrust()
{
    if (!m_watcher.isBusConnected()) {
        showKeyboardAccessHelp(*this);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Authorize"));
    call.setInteractiveAuthorizationAllowed(true);
    auto* pending = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kAuthorizeTimeoutMs), &m_watcher);
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, &m_watcher, [this, pending] {
        pending->deleteLater();
        // Whatever Authorize() said, CanLock() tells what is still missing.
        QObject::connect(
            &m_watcher, &LockServiceWatcher::answered, &m_watcher,
            [this] {
                if (!isProcessTrusted())
                    showKeyboardAccessHelp(*this);
            },
            Qt::SingleShotConnection);
        m_watcher.refresh();
    });
}

bool LockServiceKeyboardAccess::preflightListenAccess()
{
    // The service needs no access beyond the lock itself.
    return isProcessTrusted();
}

void LockServiceKeyboardAccess::requestListenAccess()
{
    showKeyboardAccessHelp(*this);
}

std::unique_ptr<EventTap> LockServiceKeyboardAccess::createTap(TapLocation location, TapPlacement,
                                                               TapOptions options, EventMask mask,
                                                               TapCallback callback, void* context)
{
    m_lastRefusal = TapRefusal::Failed;
    // The service grabs whole devices ahead of everyone: every placement is met, and the
    // key events it supports are the X11 tap's.
    if (location != TapLocation::Session || options != TapOptions::Default)
        return nullptr;
    if (mask == 0 || (mask & ~X11KeyboardAccess::kSupportedMask) != 0 || !callback)
        return nullptr;
    int fd = -1;
    m_lastRefusal = lock(fd);
    if (m_lastRefusal != TapRefusal::None) {
        m_watcher.refresh(); // the cached answer promised otherwise, or soon will
        return nullptr;
    }
    return std::make_unique<LockServiceTap>(fd, callback, context);
}

TapRefusal LockServiceKeyboardAccess::lock(int& fd)
{
    if (!m_watcher.isBusConnected())
        return TapRefusal::ServiceUnavailable;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Lock"));
    const QDBusMessage reply =
        QDBusConnection::systemBus().call(call, QDBus::Block, kLockTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return refusalFor(reply.errorName());
    const QList<QVariant> arguments = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || arguments.isEmpty())
        return TapRefusal::Failed;
    const auto lockFd = qvariant_cast<QDBusUnixFileDescriptor>(arguments.first());
    if (!lockFd.isValid())
        return TapRefusal::Failed;
    // Our own copy: the reply's goes with the reply, which closing ours must not wait on.
    fd = ::fcntl(lockFd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? TapRefusal::None : TapRefusal::Failed;
}

void LockServiceKeyboardAccess::enableTap(EventTap& tap, bool enable)
{
    static_cast<LockServiceTap&>(tap).setEnabled(enable);
}

std::unique_ptr<RunLoopSource> LockServiceKeyboardAccess::createRunLoopSource(EventTap& tap)
{
    return std::make_unique<LockServiceRunLoopSource>(static_cast<LockServiceTap&>(tap));
}

void LockServiceKeyboardAccess::addToMainLoop(RunLoopSource& source)
{
    static_cast<LockServiceRunLoopSource&>(source).setInstalled(true);
}

void LockServiceKeyboardAccess::removeFromMainLoop(RunLoopSource& source)
{
    static_cast<LockServiceRunLoopSource&>(source).setInstalled(false);
}

bool LockServiceKeyboardAccess::hasPointingDevice()
{
    return m_watcher.answer() != CanLock::NoPointer;
}

AccessProblem LockServiceKeyboardAccess::accessProblem()
{
    switch (m_watcher.answer()) {
    case CanLock::Unknown:
    case CanLock::Unavailable:
        return AccessProblem::ServiceUnavailable;
    case CanLock::Challenge:
        return AccessProblem::NeedsAuthentication;
    case CanLock::No:
        return AccessProblem::NotAuthorized;
    case CanLock::SessionInactive:
        return AccessProblem::SessionNotActive;
    case CanLock::NoPointer:
        return AccessProblem::NoPointingDevice;
    case CanLock::Busy:
        return AccessProblem::KeyboardHeldElsewhere;
    case CanLock::Yes:
        break;
    }
    switch (m_lastRefusal) {
    case TapRefusal::None:
        return AccessProblem::None;
    case TapRefusal::NotPermitted:
        return AccessProblem::NotAuthorized;
    case TapRefusal::NoPointingDevice:
        return AccessProblem::NoPointingDevice;
    case TapRefusal::KeyboardHeldElsewhere:
        return AccessProblem::KeyboardHeldElsewhere;
    case TapRefusal::SessionNotActive:
        return AccessProblem::SessionNotActive;
    case TapRefusal::KeysHeld:
        return AccessProblem::KeysHeld;
    case TapRefusal::ServiceUnavailable:
        return AccessProblem::ServiceUnavailable;
    case TapRefusal::Failed:
        break;
    }
    return AccessProblem::Failed;
}

} // namespace platform
