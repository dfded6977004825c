// SPDX-License-Identifier: GPL-3.0-or-later

// The lock and unlock flow of MainWindowController: what a click on "Lock keyboard"
// and a click on "Unlock keyboard" do.

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/InfoPill.h"
#include "ui/PointerPressGuard.h"
#include "windows/OverlayWindow.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QWidget>
#include <QWindow>

#include <algorithm>

void MainWindowController::lockButtonClicked()
{
    if (m_blocker.isActive()) {
        unlock();
        return;
    }
    m_lockEndedByPlatform = false;
    m_lockEndedWhy.clear();

    platform::KeyboardAccess& access = platform::keyboardAccess();
    // Without a pointing device nobody could click "Unlock keyboard": never lock then.
    if (!access.hasPointingDevice()) {
        showNoPointingDevice();
        // Spoken again though the capsule said so already: a screen-reader user who
        // pressed the button hears why nothing happened.
        if (m_permissionStatus)
            m_permissionStatus->announceTitle();
        return;
    }
    if (!access.isProcessTrusted()) {
        m_permissionRequestInFlight = true;
        refreshPermissionStatus(); // shows "Waiting for Accessibility access"
        if (m_permissionStatus)
            m_permissionStatus->announceTitle();
        if (m_blocker.requestPermissionIfNeeded())
            return; // the system's prompt is on its way
        openAccessibilitySettings();
        return;
    }

    // Keys are blocked before any overlay is built: building them takes far longer.
    if (!m_blocker.start()) {
        m_permissionRequestInFlight = false;
        if (access.lastTapRefusal() == platform::TapRefusal::NoPointingDevice) {
            showNoPointingDevice(); // unplugged since the last look
            if (m_permissionStatus)
                m_permissionStatus->announceTitle();
            return;
        }
        if (access.lastTapRefusal() == platform::TapRefusal::KeysHeld) {
            refreshPermissionStatus(); // asks to let go of the keys; nothing else is amiss
            return;
        }
        showStatus(QStringLiteral("exclamationmark.shield.fill"),
                   QStringLiteral("Keyboard access still needs approval"), false);
        if (access.preflightListenAccess())
            openAccessibilitySettings();
        else
            access.requestListenAccess();
        return;
    }

    // Nobody types while wiping: the screen must not lock itself meanwhile.
    platform::desktop().holdOffIdle(true);
    presentLockedOverlays();
}

std::function<void()> MainWindowController::unlockCallback()
{
    const QPointer<MainWindowController> self(this);
    return [self] {
        if (self)
            self->unlock();
    };
}

QScreen* MainWindowController::mainScreen(const QList<QScreen*>& covered) const
{
    if (m_window && m_window->isVisible()) {
        if (QScreen* screen = m_window->screen(); covered.contains(screen))
            return screen;
    }
    if (covered.contains(QGuiApplication::primaryScreen()))
        return QGuiApplication::primaryScreen();
    return covered.isEmpty() ? nullptr : covered.first();
}

void MainWindowController::presentLockedOverlays()
{
    // Every overlay is built (and every snapshot taken) before the first one shows.
    const QList<QScreen*> covered = screens();
    // The button goes where the user looks: the screen of the window just clicked. Some
    // screen always gets it: a lock without one would leave no way back.
    QScreen* const main = mainScreen(covered);
    std::vector<OverlayPtr> built;
    for (QScreen* screen : covered)
        built.emplace_back(new OverlayWindow(screen, unlockCallback(), screen == main));
    m_overlays = std::move(built);
    // The second click of a double-click on "Lock keyboard" lands on the Unlock button
    // that appears under the pointer, or on the lock button again if no overlay is up yet.
    const int secondClick = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    for (const OverlayPtr& overlay : m_overlays)
        overlay->ignorePointerPressesFor(secondClick);
    if (m_lockPressGuard)
        m_lockPressGuard->holdBackFor(secondClick);

    // The one with the button last: where each window shown takes the focus (GNOME), it
    // ends up with it.
    for (const OverlayPtr& overlay : m_overlays)
        if (!overlay->isPrimaryDisplay())
            overlay->orderFrontRegardless();
    for (const OverlayPtr& overlay : m_overlays) {
        if (overlay->isPrimaryDisplay()) {
            overlay->makeKeyAndOrderFront();
            break;
        }
    }
    followScreens(true);
    guardOverlays();
}

void MainWindowController::guardOverlays()
{
    m_overlayGuard.stop();
    const auto primary = std::find_if(m_overlays.begin(), m_overlays.end(),
                                      [](const OverlayPtr& o) { return o->isPrimaryDisplay(); });
    if (primary == m_overlays.end() || !(*primary)->windowHandle())
        return;
    if (!platform::desktop().keepsAboveByItself(*(*primary)->windowHandle())) {
        holdOverlaysStill();
        m_overlayGuard.watch();
    }
}

void MainWindowController::showOverlaysAfresh()
{
    if (!m_blocker.isActive())
        return;
    // A window shown anew goes on top of the others. Only the one with the button: it is
    // what must be seen, and every fresh window costs time. Shown before the old one
    // hides, so that no moment leaves its screen uncovered.
    const auto primary = std::find_if(m_overlays.begin(), m_overlays.end(),
                                      [](const OverlayPtr& o) { return o->isPrimaryDisplay(); });
    if (primary == m_overlays.end() || !(*primary)->coveredScreen())
        return;
    OverlayPtr old = std::move(*primary);
    primary->reset(new OverlayWindow(old->coveredScreen(), unlockCallback(), true));
    (*primary)->showKeyboardHeld(m_blocker.isHeld());
    (*primary)->makeKeyAndOrderFront();
    old->orderOut();
}

void MainWindowController::giveUpCoveredLock()
{
    endLockByPlatform(QStringLiteral("Unlocked: a window came in front"));
}

void MainWindowController::handleHoldChangedByPlatform(bool held)
{
    for (const OverlayPtr& overlay : m_overlays)
        overlay->showKeyboardHeld(held);
    refreshPermissionStatus();
}

void MainWindowController::endLockByPlatform(const QString& why)
{
    unlock();
    m_lockEndedByPlatform = true;
    m_lockEndedWhy = why;
    refreshPermissionStatus();
}

void MainWindowController::unlock()
{
    m_overlayGuard.stop();
    if (m_lockPressGuard)
        m_lockPressGuard->holdBackFor(0); // the next click on "Lock keyboard" locks at once
    followScreens(false);
    const bool wasLocked = m_blocker.isActive() || !m_overlays.empty();
    m_blocker.stop();
    if (wasLocked)
        platform::desktop().holdOffIdle(false);
    for (const OverlayPtr& overlay : m_overlays)
        overlay->orderOut();
    // Deleted later: this may run inside the click handling of an overlay's button.
    m_overlays.clear();
}

void MainWindowController::followScreens(bool follow)
{
    disconnect(m_screenAdded);
    disconnect(m_screenRemoved);
    if (!follow)
        return;
    m_screenAdded = connect(qGuiApp, &QGuiApplication::screenAdded, this,
                            &MainWindowController::coverAddedScreen);
    // Qt tells of a screen going while its windows are still on it, before it moves
    // them to another screen.
    m_screenRemoved = connect(qGuiApp, &QGuiApplication::screenRemoved, this,
                              &MainWindowController::uncoverRemovedScreen);
}

void MainWindowController::coverAddedScreen(QScreen* screen)
{
    if (!m_blocker.isActive())
        return;
    for (const OverlayPtr& overlay : m_overlays)
        if (overlay->coveredScreen() == screen)
            return;
    const bool hasButton = std::any_of(m_overlays.begin(), m_overlays.end(),
                                       [](const OverlayPtr& o) { return o->isPrimaryDisplay(); });
    m_overlays.emplace_back(new OverlayWindow(screen, unlockCallback(), !hasButton));
    OverlayWindow& added = *m_overlays.back();
    if (added.isPrimaryDisplay())
        added.makeKeyAndOrderFront();
    else
        added.orderFrontRegardless();
}

void MainWindowController::uncoverRemovedScreen(QScreen* screen)
{
    const auto gone = std::find_if(m_overlays.begin(), m_overlays.end(), [screen](const auto& o) {
        return o->coveredScreen() == screen;
    });
    if (gone == m_overlays.end())
        return;
    OverlayPtr removed = std::move(*gone);
    m_overlays.erase(gone);
    if (removed->isPrimaryDisplay() && !m_overlays.empty()) {
        // The button moves to the new primary screen's overlay, or to the first one: a
        // fresh overlay replaces the plain one, since the two differ throughout.
        auto heir = std::find_if(m_overlays.begin(), m_overlays.end(), [](const auto& o) {
            return o->coveredScreen() == QGuiApplication::primaryScreen();
        });
        if (heir == m_overlays.end())
            heir = m_overlays.begin();
        OverlayPtr plain = std::move(*heir);
        heir->reset(new OverlayWindow(plain->coveredScreen(), unlockCallback(), true));
        (*heir)->makeKeyAndOrderFront(); // shown before the plain one hides: no gap
        plain->orderOut();
    }
    removed->orderOut();
}

void MainWindowController::handleLockEndedByPlatform()
{
    endLockByPlatform({}); // the blocker is inactive already; the overlays go
}
