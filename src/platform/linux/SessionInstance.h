// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/LaunchToken.h"

#include <QObject>
#include <QTimer>

class QDBusPendingCallWatcher;

namespace platform {

// Keeps one Tavimo per login session: the first to own the application id on the session
// bus serves org.freedesktop.Application there; a later launch calls its Activate and ends.
// Nothing waits on the bus: the connection opens in the background and every call is
// asynchronous and bounded, so a missing or hung session bus only means running alone.
class SessionInstance final : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        First,      // owns the name; other launches will ask it to come forward
        HandedOver, // another Tavimo owns it and has been asked to come forward
        Alone,      // no usable bus, or no answer in time: runs on its own
    };
    // A launch that has not heard from the bus by then runs alone.
    static constexpr int kDecisionTimeoutMs = 2000;

    // `appId` is a D-Bus name; the object path is made from it.
    explicit SessionInstance(const QString& appId, QObject* parent = nullptr);
    ~SessionInstance() override;

    // Starts claiming the name and returns at once; decided() follows exactly once.
    // `ownLaunch` goes to the running Tavimo when there is one.
    void claim(const LaunchToken& ownLaunch);

signals:
    void decided(platform::SessionInstance::Outcome outcome);
    // Another launch asked this one to come forward.
    void activationRequested(const platform::LaunchToken& launch);

private:
    friend class ApplicationAdaptor;
    void handleBusSettled();
    void requestName();
    void handleNameReply(QDBusPendingCallWatcher* call);
    void handleActivateReply(QDBusPendingCallWatcher* call);
    void decide(Outcome outcome);

    QString m_appId;
    QString m_objectPath;
    LaunchToken m_ownLaunch;
    QObject* m_adaptor = nullptr;
    QTimer m_deadline;
    bool m_claiming = false;
    bool m_decided = false;
};

} // namespace platform
