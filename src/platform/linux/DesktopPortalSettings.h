// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/DesktopPreferences.h"

class QDBusPendingCallWatcher;
class QDBusMessage;
class QDBusServiceWatcher;

namespace platform {

// The desktop portal's Settings interface (org.freedesktop.portal.Desktop on the session
// bus): the freedesktop colour-scheme and GNOME's animation switch, which a sandbox
// cannot read from GSettings itself. Read asynchronously at start and whenever the
// portal (re)appears, then followed through SettingChanged.
class DesktopPortalSettings final : public DesktopPreferences {
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 5000;

    void follow() override;
    bool hasSettled() const override { return m_settled; }
    ColorScheme colorScheme() const override { return m_colorScheme; }
    std::optional<bool> animationsEnabled() const override { return m_animationsEnabled; }

public slots:
    // Qt D-Bus delivers signals to public slots only; SettingChanged(s group, s key, v value).
    void handleSettingChanged(const QDBusMessage& signal);

private:
    void handleBusSettled();
    void readAll();
    // ReadOne first; portals before version 2 of the interface only have Read.
    void read(const QString& group, const QString& key, bool oldMethod = false);
    void apply(const QString& group, const QString& key, const QVariant& value);
    void settle();

    bool m_following = false;
    bool m_settled = false;
    ColorScheme m_colorScheme = ColorScheme::NoPreference;
    std::optional<bool> m_animationsEnabled;
    QDBusServiceWatcher* m_portalWatcher = nullptr;
};

} // namespace platform
