// The lock and unlock flow of MainWindowController: what a click on "Lock keyboard"
// and a click on "Unlock keyboard" do.

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/InfoPill.h"
#include "windows/OverlayWindow.h"

#include <QGuiApplication>

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
        return;
    }
    if (!access.isProcessTrusted()) {
        m_permissionRequestInFlight = true;
        refreshPermissionStatus(); // shows "Waiting for Accessibility access"
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

void MainWindowController::presentLockedOverlays()
{
    const QPointer<MainWindowController> self(this);
    const auto onUnlock = [self] {
        if (self)
            self->unlock();
    };

    // Every overlay is built (and every snapshot taken) before the first one shows.
    const QList<QScreen*> covered = screens();
    // A lock without an unlock button would leave no way back but killing the process.
    const bool primaryListed = covered.contains(QGuiApplication::primaryScreen());
    std::vector<OverlayPtr> built;
    for (QScreen* screen : covered) {
        if (primaryListed)
            built.emplace_back(new OverlayWindow(screen, onUnlock));
        else
            built.emplace_back(new OverlayWindow(screen, onUnlock, built.empty()));
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
}

void MainWindowController::unlock()
{
    m_blocker.stop();
    for (const OverlayPtr& overlay : m_overlays)
        overlay->orderOut();
    // Deleted later: this may run inside the click handling of an overlay's button.
    m_overlays.clear();
}

void MainWindowController::handleLockEndedByPlatform()
{
    unlock(); // the blocker is inactive already; the overlays go
    m_lockEndedByPlatform = true;
    refreshPermissionStatus();
}
