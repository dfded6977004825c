// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QDBusPendingCallWatcher;

namespace platform {

// Keeps the power, suspend and hibernate keys from acting while the keyboard is locked.
// Those keys never reach X clients: systemd-logind reads them from the input devices
// itself, so a keyboard grab cannot stop them. A logind inhibitor lock in "block" mode
// does, for as long as its file descriptor stays open.
//
// Nothing here waits on the bus, so locking never does: the connection is opened in the
// background (SystemBusConnector) and the request is asynchronous. Without a system bus
// or logind, or when logind refuses, nothing is held and nothing is reported: the
// keyboard lock works the same, only these keys stay with logind. Use on the main thread.
class LogindInhibitor final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kWhat = "handle-power-key:handle-suspend-key:handle-hibernate-key";
    static constexpr const char* kWho = "Tavimo";
    static constexpr const char* kWhy = "Keyboard locked for cleaning";
    static constexpr const char* kMode = "block";
    // A logind that has not answered by then is treated as absent.
    static constexpr int kReplyTimeoutMs = 10000;

    explicit LogindInhibitor(QObject* parent = nullptr);
    // Lets the lock go: an inhibitor never outlives its owner.
    ~LogindInhibitor() override;

    // Asks logind for the lock and returns at once; a second call while wanted does nothing.
    void acquire();
    // Lets the lock go now, or as soon as a reply still on its way arrives.
    void release();

    // True while logind has granted the lock and it has not been let go.
    bool isHeld() const { return m_fd >= 0; }
    // True from a request until its reply (or the lack of a bus) has been handled.
    bool isWaitingForReply() const { return m_waitingForBus || m_pendingCall != nullptr; }

signals:
    // A reply (or the lack of a bus) was handled, or the lock was let go.
    void stateChanged();

private:
    void requestWhenBusIsReady();
    void handleBusSettled();
    void sendRequest();
    void handleReply(QDBusPendingCallWatcher* call);
    void closeDescriptor();

    QDBusPendingCallWatcher* m_pendingCall = nullptr;
    int m_fd = -1;
    bool m_wanted = false;
    bool m_waitingForBus = false;
};

} // namespace platform
