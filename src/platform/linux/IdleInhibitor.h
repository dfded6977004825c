// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/BusInhibitor.h"

#include <QString>
#include <QVariantList>

#include <optional>

namespace platform {

// Keeps one session-bus service from blanking or locking the screen for idleness while the
// keyboard is locked: nobody types while wiping the keys, and a screen locker coming up then
// would take the pointer's way back to the unlock button.
//
// Services of this kind hand out a cookie on Inhibit and forget it on its un-inhibit call
// (or when our connection goes).
class IdleInhibitor final : public BusInhibitor {
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

    // org.freedesktop.ScreenSaver: KDE, Xfce, LXQt, and most screen lockers.
    static Service freedesktopScreenSaver();
    // GNOME's session manager, with the idle flag only.
    static Service gnomeSessionManager();

    explicit IdleInhibitor(Service service, QObject* parent = nullptr);
    // Gives a held cookie back.
    ~IdleInhibitor() override;

    bool isHeld() const override { return m_cookie.has_value(); }

private:
    QDBusMessage inhibitCall() const override;
    void takeReply(const QDBusPendingCall& reply, bool wanted) override;
    void letGo() override;
    void giveBack(uint cookie);

    Service m_service;
    std::optional<uint> m_cookie;
};

} // namespace platform
