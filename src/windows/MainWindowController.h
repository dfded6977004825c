// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lock/KeyboardBlocker.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/OverlayGuard.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class OverlayWindow;
class PointerPressGuard;
class QScreen;
class QWidget;

// The hub of the program: owns the main window and everything that lives as long as
// it does — the keyboard blocker, the overlays of a lock, the lock button, the
// permission capsule and the permission poll timer.
//
// Its behaviour is spread over files by concern: MainWindow.cpp builds the window,
// lock/PermissionMonitor.cpp follows keyboard access, lock/LockFlow.cpp locks and
// unlocks.
class MainWindowController : public QObject {
    Q_OBJECT
public:
    // Builds the main window and its contents and starts monitoring keyboard access.
    // The window is not shown.
    MainWindowController();
    // Takes the window as it is (it may be null): no contents, no timer.
    explicit MainWindowController(std::unique_ptr<QWidget> window);
    // Stops the poll timer. A lock still held is released by the blocker's own
    // teardown and its overlays go with the controller.
    ~MainWindowController() override;

    QWidget* window() const;

    // Lock flow.
    void lockButtonClicked();
    void presentLockedOverlays();
    void unlock();
    // The platform ended the lock by itself: the overlays go and the capsule says so.
    void handleLockEndedByPlatform();
    // The platform gave the keyboard back for a while (held false) or holds it again.
    void handleHoldChangedByPlatform(bool held);

    // Permission monitor.
    void startPermissionMonitoring();
    void refreshPermissionStatus();
    void openAccessibilitySettings();

    // Main window.
    void openDeveloperSite();

    // Read-only views of the state, for tests and diagnostics.
    const KeyboardBlocker& blocker() const { return m_blocker; }
    QList<OverlayWindow*> overlays() const;
    GlassButton* lockButton() const { return m_lockButton; }
    InfoPill* permissionStatus() const { return m_permissionStatus; }
    QTimer* permissionPollTimer() const { return m_permissionPollTimer; }
    bool permissionRequestInFlight() const { return m_permissionRequestInFlight; }
    bool lockEndedByPlatform() const { return m_lockEndedByPlatform; }
    const OverlayGuard& overlayGuard() const { return m_overlayGuard; }

    // Replaces the list of screens the lock covers (QGuiApplication::screens()) when it
    // starts; screens added or removed later are Qt's. Tests only.
    void setScreensForTesting(std::function<QList<QScreen*>()> screens);

private:
    // Overlays go through deleteLater: the one whose button was clicked is still
    // inside that click's handling when the lock ends.
    struct DeferredDelete {
        void operator()(QObject* object) const;
    };
    using OverlayPtr = std::unique_ptr<OverlayWindow, DeferredDelete>;

    void buildUI();
    QList<QScreen*> screens() const;
    std::function<void()> unlockCallback();
    // The screen that gets the unlock button: the one holding the main window at the
    // click, else the primary screen, else the first covered one.
    QScreen* mainScreen(const QList<QScreen*>& covered) const;
    // The overlay with the Unlock button, if any.
    OverlayWindow* keyOverlay() const;
    bool isOwnWindow(const QWindow* window) const;
    // Where the desktop does not keep the overlays in front by itself.
    void guardOverlays();
    // There an overlay must come back in front at once, and a full-screen window that
    // animates can stall the main thread for a second while the compositor is busy: Qt
    // waits for the compositor to hand back a shared-memory buffer before it paints again.
    void holdOverlaysStill();
    void showOverlaysAfresh();
    void giveUpCoveredLock();
    void endLockByPlatform(const QString& why);
    // While locked, a screen that comes gets an overlay and one that goes loses its
    // own, and the unlock button stays on a screen that is still there.
    void followScreens(bool follow);
    void coverAddedScreen(QScreen* screen);
    void uncoverRemovedScreen(QScreen* screen);
    // Writes the capsule, unless it already shows exactly that: the poll would otherwise
    // repaint it twice a second for nothing.
    void showStatus(const QString& symbolName, const QString& title, bool isReady);
    void showNoPointingDevice();

    std::unique_ptr<QWidget> m_window;
    KeyboardBlocker m_blocker;
    std::vector<OverlayPtr> m_overlays;
    QPointer<GlassButton> m_lockButton;
    QPointer<PointerPressGuard> m_lockPressGuard;
    QPointer<InfoPill> m_permissionStatus;
    QPointer<QTimer> m_permissionPollTimer;
    bool m_permissionRequestInFlight = false;
    // From a lock the platform ended until the next click on the lock button.
    bool m_lockEndedByPlatform = false;
    QString m_lockEndedWhy;
    OverlayGuard m_overlayGuard;
    std::function<QList<QScreen*>()> m_screensForTesting;
    QMetaObject::Connection m_screenAdded;
    QMetaObject::Connection m_screenRemoved;
};
