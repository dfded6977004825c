// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/lockd/LockServiceProtocol.h"

#include <QObject>
#include <QTimer>

class QDBusPendingCallWatcher;

namespace platform {

// Follows the keyboard-lock service on the system bus: whether it is there (activatable or
// running) and what its CanLock() says, kept in a cache so that reading it costs nothing.
// The answer is asked again when the service says something it depends on changed
// (CanLockChanged), when the service appears on the bus, when asked to (refresh()), and on
// a slow timer, which also keeps an idle service from exiting while Tavimo runs, so that
// the signal keeps the answer current. Nothing here waits on the bus. Main thread only.
class LockServiceWatcher final : public QObject {
    Q_OBJECT

public:
    enum class Presence { Unknown, Absent, Present };

    static constexpr int kRefreshIntervalMs = 10000;
    // A service that left the bus is asked after again this much later, not at once: a
    // service that fails on every start must not be restarted in a tight loop.
    static constexpr int kReaskAfterExitMs = 1000;
    // Covers a service being started on demand.
    static constexpr int kReplyTimeoutMs = 10000;

    explicit LockServiceWatcher(QObject* parent = nullptr);

    // Unknown until the bus and the service have answered once, or while the bus hangs.
    Presence presence() const { return m_presence; }
    lockservice::CanLock answer() const { return m_answer; }
    bool isBusConnected() const;

    // Asks CanLock() again; returns at once. An answer already on its way is followed by
    // a new question, so that what answered() reports is never older than this call.
    void refresh();

signals:
    // A CanLock() reply was handled and no newer question is pending.
    void answered();

private slots:
    void handleCanLockChanged();

private:
    void handleBusSettled();
    void followService();
    void ask();
    void handleReply(QDBusPendingCallWatcher* call);

    Presence m_presence = Presence::Unknown;
    lockservice::CanLock m_answer = lockservice::CanLock::Unknown;
    QDBusPendingCallWatcher* m_pendingCall = nullptr;
    bool m_askAgain = false;
    bool m_following = false;
    QTimer m_refreshTimer;
    QTimer m_reaskTimer;
};

} // namespace platform
