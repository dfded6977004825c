// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

#include <optional>

class QDBusPendingCallWatcher;

namespace platform {

// Keeps one session-bus service from blanking or locking the screen for idleness while the
// keyboard is locked: nobody types while wiping the keys, and a screen locker coming up then
// would take the pointer's way back to the unlock button.
//
// Services of this kind hand out a cookie on Inhibit and forget it on its un-inhibit call
// (or when our connection goes). Nothing here waits on the bus: the call is asynchronous, and
// a cookie that arrives after release() is given back at once. Without a session bus or the
// service nothing is held and nothing is reported. Use on the main thread.
class IdleInhibitor final : public QObject {
    Q_OBJECT

public:
    struct Service {
        QString name;
        QString path;
        QString interface;
        QString inhibitMethod;
        QString uninhibitMethod;
        QVariantList inhibitArguments; // the reply is the cookie, a uint
    };
    static constexpr const char* kReason = "Keyboard locked for cleaning";
    // A service that has not answered by then is treated as absent.
    static constexpr int kReplyTimeoutMs = 10000;

    // org.freedesktop.ScreenSaver: KDE, Xfce, LXQt, and most screen lockers.
    static Service freedesktopScreenSaver();
    // GNOME's session manager, with the idle flag only.
    static Service gnomeSessionManager();

    explicit IdleInhibitor(Service service, QObject* parent = nullptr);
    // Gives a held cookie back.
    ~IdleInhibitor() override;

    // Asks for the inhibition and returns at once; a second call while wanted does nothing.
    void acquire();
    // Gives the cookie back now, or as soon as a reply still on its way brings it.
    void release();

    bool isHeld() const { return m_cookie.has_value(); }

signals:
    // A reply (or the lack of a bus) was handled, or the cookie was given back.
    void stateChanged();

private:
    void requestWhenBusIsReady();
    void handleBusSettled();
    void sendRequest();
    void handleReply(QDBusPendingCallWatcher* call);
    void giveBack(uint cookie);

    Service m_service;
    QDBusPendingCallWatcher* m_pendingCall = nullptr;
    std::optional<uint> m_cookie;
    bool m_wanted = false;
    bool m_waitingForBus = false;
};

} // namespace platform
