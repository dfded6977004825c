// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/OverlayWindow.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

void MainWindowController::DeferredDelete::operator()(QObject* object) const
{
    if (object)
        object->deleteLater();
}

MainWindowController::MainWindowController(std::unique_ptr<QWidget> window)
    : m_window(std::move(window)),
      m_overlayGuard({[this] {
                          OverlayWindow* key = keyOverlay();
                          return key ? key->windowHandle() : nullptr;
                      },
                      [this](const QWindow* w) { return isOwnWindow(w); },
                      [this] {
                          showOverlaysAfresh();
                          holdOverlaysStill();
                      },
                      [this] {
                          giveUpCoveredLock();
                      }})
{
    const QPointer<MainWindowController> self(this);
    m_blocker.onEndedByPlatform = [self] {
        if (self)
            self->handleLockEndedByPlatform();
    };
    m_blocker.onHoldChangedByPlatform = [self](bool held) {
        if (self)
            self->handleHoldChangedByPlatform(held);
    };
}

MainWindowController::~MainWindowController()
{
    // The timer is our child and would die with us anyway; stopping it first keeps
    // a tick from landing on a half-destroyed controller.
    if (m_permissionPollTimer)
        m_permissionPollTimer->stop();
    if (m_blocker.isActive() || !m_overlays.empty())
        platform::desktop().holdOffIdle(false);
}

QWidget* MainWindowController::window() const
{
    return m_window.get();
}

QList<OverlayWindow*> MainWindowController::overlays() const
{
    QList<OverlayWindow*> list;
    for (const OverlayPtr& overlay : m_overlays)
        list.append(overlay.get());
    return list;
}

OverlayWindow* MainWindowController::keyOverlay() const
{
    for (const OverlayPtr& overlay : m_overlays)
        if (overlay->isPrimaryDisplay())
            return overlay.get();
    return nullptr;
}

bool MainWindowController::isOwnWindow(const QWindow* window) const
{
    if (!window)
        return false;
    if (m_window && m_window->windowHandle() == window)
        return true;
    return std::any_of(m_overlays.begin(), m_overlays.end(),
                       [window](const OverlayPtr& o) { return o->windowHandle() == window; });
}

void MainWindowController::holdOverlaysStill()
{
    for (const OverlayPtr& overlay : m_overlays)
        overlay->holdStill();
}

void MainWindowController::setScreensForTesting(std::function<QList<QScreen*>()> screens)
{
    m_screensForTesting = std::move(screens);
}

QList<QScreen*> MainWindowController::screens() const
{
    return m_screensForTesting ? m_screensForTesting() : QGuiApplication::screens();
}
