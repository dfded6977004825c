// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/linux/BusInhibitor.h"

namespace platform {

// Keeps the power, suspend and hibernate keys from acting while the keyboard is locked.
// Those keys never reach X clients: systemd-logind reads them from the input devices
// itself, so a keyboard grab cannot stop them. A logind inhibitor lock in "block" mode
// does, for as long as its file descriptor stays open.
//
// Without a system bus or logind, or when logind refuses, nothing is held: the keyboard
// lock works the same, only these keys stay with logind.
class LogindInhibitor final : public BusInhibitor {
    Q_OBJECT

public:
    static constexpr const char* kWhat = "handle-power-key:handle-suspend-key:handle-hibernate-key";
    static constexpr const char* kWho = "Tavimo";
    static constexpr const char* kWhy = "Keyboard locked for cleaning";
    static constexpr const char* kMode = "block";

    explicit LogindInhibitor(QObject* parent = nullptr);
    // Lets the lock go: an inhibitor never outlives its owner.
    ~LogindInhibitor() override;

    bool isHeld() const override { return m_fd >= 0; }

private:
    QDBusMessage inhibitCall() const override;
    void takeReply(const QDBusPendingCall& reply, bool wanted) override;
    void letGo() override { closeDescriptor(); }
    void closeDescriptor();

    int m_fd = -1;
};

} // namespace platform
