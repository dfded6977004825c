// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

#include <optional>

namespace platform {

enum class ColorScheme { NoPreference, Dark, Light };

// What the desktop asks of every program's looks, heard without waiting and followed as it
// changes. Until the desktop has answered (or proved unable to), nothing is known.
class DesktopPreferences : public QObject {
    Q_OBJECT

public:
    // Starts listening, once; returns at once.
    virtual void follow() = 0;
    // True once the first answer came, or it is clear that none will.
    virtual bool hasSettled() const = 0;
    virtual ColorScheme colorScheme() const = 0;
    // The desktop's own animation switch; nullopt when it does not say.
    virtual std::optional<bool> animationsEnabled() const = 0;

signals:
    void settled();
    void colorSchemeChanged();
};

// The process's one source of desktop preferences; main thread only.
DesktopPreferences& desktopPreferences();

} // namespace platform
