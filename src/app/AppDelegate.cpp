// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppDelegate.h"

#include "app/FirstLaunch.h"
#include "platform/linux/WindowActivation.h"
#include "windows/MainWindowController.h"

#include <QPointer>
#include <QWindow>
#include <QWidget>

namespace {

void bringToFrontWithNothingFocused(QWidget& window)
{
    // The window itself holds the keyboard focus, so that no control (the lock button
    // included) starts focused. Whenever the window is activated, Qt hands the focus to
    // its focus widget, or else to its first focusable child: make that the window.
    if (QWidget* focused = window.focusWidget(); focused && focused != &window)
        focused->clearFocus();
    window.setFocus(Qt::ActiveWindowFocusReason);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

AppDelegate::AppDelegate()
    : AppDelegate(FirstLaunch::moveToApplicationsIfNeeded,
                  [] { return std::make_unique<MainWindowController>(); })
{
}

AppDelegate::AppDelegate(MoveOfferRunner moveOffer, ControllerFactory makeController)
    : m_moveOffer(std::move(moveOffer)), m_makeController(std::move(makeController))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    // The offer may end the application; it must not keep the delegate alive.
    m_moveOffer([delegate = QPointer<AppDelegate>(this)] {
        if (delegate)
            delegate->showMainWindow();
    });
}

void AppDelegate::showMainWindow()
{
    // A second call shows the window that exists rather than building another window,
    // blocker and poll timer beside it.
    if (!m_mainWindowController)
        m_mainWindowController = m_makeController();
    if (QWidget* window = m_mainWindowController->window())
        bringToFrontWithNothingFocused(*window);
}

void AppDelegate::applicationShouldHandleReopen(const platform::LaunchToken& launch)
{
    QWidget* window = m_mainWindowController ? m_mainWindowController->window() : nullptr;
    if (!window || m_mainWindowController->blocker().isActive())
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    if (QWindow* handle = window->windowHandle())
        platform::activateForLaunch(*handle, launch);
}
