// SPDX-License-Identifier: GPL-3.0-or-later

// From a click on "Lock keyboard" to the keyboard grab being active, and to every
// overlay being on screen, with one and with two screens. Real X11 platform layer;
// run under tests/support/with-xvfb.sh --two-monitors.
#include "BenchStats.h"

#include "platform/Platform.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;

namespace {

// Forwards to the real keyboard access and notes when the tap has been switched on,
// which is the last step of starting the blocker: the grab is held from then on.
class TimedKeyboardAccess final : public platform::KeyboardAccess {
public:
    explicit TimedKeyboardAccess(platform::KeyboardAccess& real) : m_real(real) {}
    Clock::time_point trustAskedAt{};
    Clock::time_point tapCreatedAt{};
    Clock::time_point tapEnabledAt{};

    bool isProcessTrusted() override
    {
        if (trustAskedAt == Clock::time_point{})
            trustAskedAt = Clock::now();
        return m_real.isProcessTrusted();
    }
    void promptForTrust() override { m_real.promptForTrust(); }
    bool preflightListenAccess() override { return m_real.preflightListenAccess(); }
    void requestListenAccess() override { m_real.requestListenAccess(); }
    std::unique_ptr<platform::EventTap>
    createTap(platform::TapLocation location, platform::TapPlacement placement,
              platform::TapOptions options, platform::EventMask mask,
              platform::TapCallback callback, void* context) override
    {
        auto tap = m_real.createTap(location, placement, options, mask, callback, context);
        tapCreatedAt = Clock::now();
        return tap;
    }
    void enableTap(platform::EventTap& tap, bool enable) override
    {
        m_real.enableTap(tap, enable);
        if (enable)
            tapEnabledAt = Clock::now();
    }
    std::unique_ptr<platform::RunLoopSource> createRunLoopSource(platform::EventTap& tap) override
    {
        return m_real.createRunLoopSource(tap);
    }
    void addToMainLoop(platform::RunLoopSource& source) override { m_real.addToMainLoop(source); }
    void removeFromMainLoop(platform::RunLoopSource& source) override
    {
        m_real.removeFromMainLoop(source);
    }
    bool hasPointingDevice() override { return m_real.hasPointingDevice(); }
    platform::TapRefusal lastTapRefusal() override { return m_real.lastTapRefusal(); }
    platform::AccessProblem accessProblem() override { return m_real.accessProblem(); }

private:
    platform::KeyboardAccess& m_real;
};

bool allExposed(const QList<OverlayWindow*>& overlays)
{
    for (OverlayWindow* overlay : overlays)
        if (!overlay->windowHandle() || !overlay->windowHandle()->isExposed())
            return false;
    return true;
}

void measure(MainWindowController& controller, TimedKeyboardAccess& keyboard, int rounds,
             const char* label)
{
    BenchStats toHandler;
    BenchStats toTap;
    BenchStats toGrab;
    BenchStats toOverlays;
    BenchStats handler;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        keyboard.trustAskedAt = keyboard.tapCreatedAt = keyboard.tapEnabledAt = {};
        // A button clicks when the mouse button comes up: time from the release.
        QWidget* button = controller.lockButton()->button();
        QTest::mousePress(button, Qt::LeftButton);
        QTest::qWait(20);
        const Clock::time_point click = Clock::now();
        QTest::mouseRelease(button, Qt::LeftButton);
        const Clock::time_point handled = Clock::now();
        if (!controller.blocker().isActive()) {
            ++failures;
            continue;
        }
        // Shown means mapped, exposed and painted once.
        const QList<OverlayWindow*> overlays = controller.overlays();
        while (!allExposed(overlays))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        const Clock::time_point shown = Clock::now();

        toHandler.add(keyboard.trustAskedAt - click);
        toTap.add(keyboard.tapCreatedAt - click);
        toGrab.add(keyboard.tapEnabledAt - click);
        handler.add(handled - click);
        toOverlays.add(shown - click);

        controller.unlock();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(50);
    }
    std::printf("%s\n", label);
    toHandler.printMillis("click -> lock action asks for trust");
    toTap.printMillis("click -> tap created (keyboard grabbed)");
    toGrab.printMillis("click -> tap enabled (blocker started)");
    handler.printMillis("click -> click handled (overlays built, shown)");
    toOverlays.printMillis("click -> every overlay exposed and painted");
    if (failures)
        std::printf("  %d rounds could not lock\n", failures);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        std::fprintf(stderr, "LockOverlayBench: needs an X server (xcb platform)\n");
        return 1;
    }
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    TimedKeyboardAccess keyboard(platform::keyboardAccess());
    platform::overrideForTesting(&keyboard, &platform::desktop());

    MainWindowController controller;
    controller.window()->show();
    if (!QTest::qWaitForWindowExposed(controller.window())) {
        std::fprintf(stderr, "LockOverlayBench: main window never exposed\n");
        return 1;
    }
    if (!keyboard.isProcessTrusted()) {
        std::fprintf(stderr, "LockOverlayBench: keyboard access refused here\n");
        return 1;
    }

    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    controller.setScreensForTesting([primary] { return QList<QScreen*>{primary}; });
    measure(controller, keyboard, rounds, "one screen (primary)");
    if (screens.size() > 1) {
        controller.setScreensForTesting({});
        measure(controller, keyboard, rounds,
                qPrintable(QStringLiteral("%1 screens").arg(screens.size())));
    }
    platform::overrideForTesting(nullptr, nullptr);
    return 0;
}
