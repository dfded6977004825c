// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Places the six views of the main window on its root panel: icon, title, subtitle,
// status capsule and lock button hang in a centred stack from the top edge; the
// developer link sits 17 units above the bottom edge. Labels, capsule and link keep
// their natural sizes, and the layout is applied again whenever one of them asks to
// be resized (the capsule does when its text changes). Where the desktop's larger text
// needs more room than the window has, the window grows to fit, never shrinks.
class MainWindowLayout : public QObject {
    Q_OBJECT
public:
    struct Views {
        QWidget* icon;
        QWidget* title;
        QWidget* subtitle;
        QWidget* statusCapsule;
        QWidget* lockButton;
        QWidget* developerLink;
    };

    static constexpr int kIconTop = 52;
    static constexpr int kIconSize = 96;
    static constexpr int kIconToTitle = 14;
    static constexpr int kTitleToSubtitle = 8;
    static constexpr int kSubtitleToCapsule = 24;
    static constexpr int kCapsuleHeight = 36;
    static constexpr int kCapsuleToButton = 18;
    static constexpr int kButtonWidth = 236;
    static constexpr int kButtonHeight = 52;
    static constexpr int kLinkBottomInset = 17;
    static constexpr int kLinkMinimumHeight = 24;
    // Room kept around the views when the window grows for larger text.
    static constexpr int kSideMargin = 24;
    static constexpr int kButtonToLinkMinimum = 24;

    // Lays out the views, all children of container, and keeps them laid out.
    MainWindowLayout(QWidget& container, Views views);

    void apply();
    // The size the views need, from the window's top edge to the link's bottom inset.
    QSize neededSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSize buttonSize() const;
    void growWindowToFit();

    QPointer<QWidget> m_container;
    Views m_views;
};
