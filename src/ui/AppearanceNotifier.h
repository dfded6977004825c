// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPalette>

#include <optional>

class QEvent;

// Tells views that the desktop switched between light and dark. Widgets inside
// a window hear of it through their own change events; a top-level widget does
// not, so views that keep resolved colours also listen here.
class AppearanceNotifier : public QObject {
    Q_OBJECT
public:
    static AppearanceNotifier& instance();

    // True for the events through which Qt passes on a palette or theme change.
    static bool isAppearanceChange(const QEvent* event);

    // Follows the desktop's light or dark preference from now on: when it asks for an
    // appearance the palette Qt got does not have, the application wears a palette of
    // that appearance instead (and Qt's own again when the two agree or the desktop
    // stops asking), so every window changes through the usual palette change. Without
    // an answer from the desktop the palette stays as Qt got it.
    void followDesktop();
    // True once the desktop's first answer (or its lack) has been applied.
    bool hasHeardFromDesktop() const;

signals:
    void changed();
    // The desktop's first answer (or its lack) has been applied.
    void heardFromDesktop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppearanceNotifier();
    void applyDesktopPreference();

    // Qt's own palette while one of ours stands in for it.
    std::optional<QPalette> m_paletteOfQt;
};
