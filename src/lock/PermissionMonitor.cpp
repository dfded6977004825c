// SPDX-License-Identifier: GPL-3.0-or-later

// The permission monitor of MainWindowController: keeps the status capsule true to
// whether this process may tap the keyboard, polling twice a second.

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/InfoPill.h"

#include <QTimer>

namespace {
constexpr int kPollIntervalMs = 500;
} // namespace

void MainWindowController::startPermissionMonitoring()
{
    // The timer is our child, so it can never outlive or keep alive the controller;
    // the weak pointer still guards the tick against a controller being torn down.
    auto* timer = new QTimer(this);
    timer->setInterval(kPollIntervalMs);
    const QPointer<MainWindowController> self(this);
    connect(timer, &QTimer::timeout, this, [self] {
        if (self)
            self->refreshPermissionStatus();
    });
    timer->start();
    m_permissionPollTimer = timer;
}

void MainWindowController::refreshPermissionStatus()
{
    platform::KeyboardAccess& access = platform::keyboardAccess();
    // Ahead of any access state: without a pointer no lock is taken, whatever the access.
    if (!access.hasPointingDevice()) {
        showNoPointingDevice();
        return;
    }
    // Until the next click: the last lock was refused for keys held down.
    if (access.lastTapRefusal() == platform::TapRefusal::KeysHeld) {
        showStatus(QStringLiteral("hand.raised.fill"),
                   QStringLiteral("Let go of the keys to lock the keyboard"), false);
        return;
    }
    if (m_lockEndedByPlatform || (m_blocker.isActive() && !m_blocker.isHeld())) {
        showStatus(QStringLiteral("lock.open.fill"),
                   m_lockEndedWhy.isEmpty() ? QStringLiteral("Keyboard unlocked by the system")
                                            : m_lockEndedWhy,
                   false);
        return;
    }
    if (access.isProcessTrusted()) {
        m_permissionRequestInFlight = false;
        showStatus(QStringLiteral("checkmark.shield.fill"),
                   QStringLiteral("Accessibility access is ready"), true);
    } else if (m_permissionRequestInFlight) {
        showStatus(QStringLiteral("hourglass"), QStringLiteral("Waiting for Accessibility access"),
                   false);
    } else {
        showStatus(QStringLiteral("hand.raised.fill"),
                   QStringLiteral("Accessibility access required"), false);
    }
}

void MainWindowController::showStatus(const QString& symbolName, const QString& title, bool isReady)
{
    if (!m_permissionStatus)
        return;
    // Each state has a title of its own, so the title tells the state.
    if (m_permissionStatus->title() == title)
        return;
    m_permissionStatus->update(symbolName, title, isReady);
}

void MainWindowController::showNoPointingDevice()
{
    showStatus(QStringLiteral("computermouse.fill"),
               QStringLiteral("Connect a mouse to lock the keyboard"), false);
}

void MainWindowController::openAccessibilitySettings()
{
    platform::desktop().openKeyboardAccessSettings();
}
