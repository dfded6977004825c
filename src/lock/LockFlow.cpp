// SPDX-License-Identifier: GPL-3.0-or-later

// The lock and unlock flow of MainWindowController: what a click on "Lock keyboard"
// and a click on "Unlock keyboard" do.

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/InfoPill.h"
#include "windows/OverlayWindow.h"

#include <QGuiApplication>

#include <algorithm>

void MainWindowController::lockButtonClicked()
{
    if (m_blocker.isActive()) {
        unlock();
        return;
    }
    m_lockEndedByPlatform = false;

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

void MainWindowController::presentLockedOverlays()
{
    // Every overlay is built (and every snapshot taken) before the first one shows.
    const QList<QScreen*> covered = screens();
    // A lock without an unlock button would leave no way back but killing the process.
    const bool primaryListed = covered.contains(QGuiApplication::primaryScreen());
    std::vector<OverlayPtr> built;
    for (QScreen* screen : covered) {
        if (primaryListed)
            built.emplace_back(new OverlayWindow(screen, unlockCallback()));
        else
            built.emplace_back(new OverlayWindow(screen, unlockCallback(), built.empty()));
    }
    m_overlays = std::move(built);

    for (const OverlayPtr& overlay : m_overlays)
        overlay->orderFrontRegardless();
    for (const OverlayPtr& overlay : m_overlays) {
        if (overlay->isPrimaryDisplay()) {
            overlay->makeKeyAndOrderFront();
            break;
        }
    }
    followScreens(true);
}

void MainWindowController::unlock()
{
    followScreens(false);
    m_blocker.stop();
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
    unlock(); // the blocker is inactive already; the overlays go
    m_lockEndedByPlatform = true;
    refreshPermissionStatus();
}
