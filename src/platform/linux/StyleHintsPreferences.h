// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/DesktopPreferences.h"
#include "platform/linux/DesktopPortalSettings.h"

namespace platform {

// Light or dark as Qt's platform theme hears it from the desktop (QStyleHints, from
// Qt 6.5 on), so that Tavimo and Qt never disagree; GNOME's animation switch still
// comes from the desktop portal, which Qt does not read.
class StyleHintsPreferences final : public DesktopPreferences {
    Q_OBJECT

public:
    StyleHintsPreferences();

    void follow() override;
    bool hasSettled() const override { return m_portal.hasSettled(); }
    ColorScheme colorScheme() const override;
    std::optional<bool> animationsEnabled() const override { return m_portal.animationsEnabled(); }

private:
    DesktopPortalSettings m_portal;
    bool m_following = false;
};

} // namespace platform
