// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

#include <functional>
#include <memory>

class MainWindowController;
namespace platform {
struct LaunchToken;
}

// Carries the application through launch: the move offer first, then the main window,
// whose controller it keeps for the rest of the run.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Runs the offer and calls its argument to go on with the launch (or never, when
    // the application ends instead).
    using MoveOfferRunner = std::function<void(const std::function<void()>& completion)>;
    using ControllerFactory = std::function<std::unique_ptr<MainWindowController>()>;

    // The real offer and the real main window.
    AppDelegate();
    // Other ones, for tests.
    AppDelegate(MoveOfferRunner moveOffer, ControllerFactory makeController);
    ~AppDelegate() override;

    // Called from the event loop once it runs.
    void applicationDidFinishLaunching();
    // Closing the main window ends the application.
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // Tavimo was launched again: the main window comes forward with the keyboard focus,
    // handed the new launch's token for the window system. Before the main window first
    // shows, and while the keyboard is locked (the overlays stay over everything), it
    // does nothing.
    void applicationShouldHandleReopen(const platform::LaunchToken& launch);

    MainWindowController* mainWindowController() const { return m_mainWindowController.get(); }

private:
    void showMainWindow();

    MoveOfferRunner m_moveOffer;
    ControllerFactory m_makeController;
    std::unique_ptr<MainWindowController> m_mainWindowController;
};
