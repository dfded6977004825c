// SPDX-License-Identifier: GPL-3.0-or-later

// The longest stall of the main thread while a lock is shown and the Wayland compositor
// stops answering: the real windows and Wayland desktop layer, locked through a stand-in
// keyboard-lock service; the compositor is stopped (SIGSTOP) for a while and resumed.
// Also the longest silence of the heartbeat that the service saw meanwhile. Run as
//   tests/support/with-sway.sh tests/support/with-bus.sh --system StoppedCompositorBench [rounds]
//   [stop-ms]
// The compositor is the sway named by SWAYSOCK (sway-ipc.UID.PID.sock). With
// TAVIMO_ARTIFACTS_DIR set, screenshots of the lock before and after the last stop go there.
#include "BenchStats.h"

#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/lockd/LockServiceKeyboardAccess.h"
#include "support/FakeLockServiceProcess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/BreathingIcon.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include <signal.h>

namespace {

// The longest gap between the ticks of a 10 ms timer on the main thread: how long the
// thread could not run its event loop.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
    }
    void restart()
    {
        m_longest = 0;
        m_sinceTick.start();
        m_timer.start(10);
    }
    qint64 longestMs() const { return std::max(m_longest, m_sinceTick.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

// Counts the frames drawn of a widget.
class PaintCounter : public QObject {
public:
    int frames = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        frames += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

qint64 swayPid()
{
    // sway-ipc.<uid>.<pid>.sock
    const QStringList parts = QFileInfo(qEnvironmentVariable("SWAYSOCK")).fileName().split('.');
    return parts.size() == 4 ? parts[2].toLongLong() : 0;
}

bool allExposed(const QList<OverlayWindow*>& overlays)
{
    return !overlays.isEmpty() && std::all_of(overlays.begin(), overlays.end(), [](auto* o) {
        return o->windowHandle() && o->windowHandle()->isExposed();
    });
}

qint64 longestHeartbeatGap(const QList<int>& beats, int from, int to)
{
    qint64 longest = 0;
    int previous = from;
    for (int beat : beats) {
        if (beat < from)
            continue;
        longest = std::max<qint64>(longest, beat - previous);
        previous = beat;
        if (beat > to)
            break;
    }
    return longest;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int stopMs = argc > 2 ? std::atoi(argv[2]) : 6000;
    const qint64 compositor = swayPid();
    if (QGuiApplication::platformName() != QStringLiteral("wayland") || compositor <= 0) {
        std::fprintf(stderr, "StoppedCompositorBench: run under with-sway.sh (SWAYSOCK)\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS")) {
        std::fprintf(stderr, "StoppedCompositorBench: run under with-bus.sh --system\n");
        return 1;
    }
    FakeLockServiceProcess service;
    if (const QString problem = service.start(); !problem.isEmpty()) {
        std::fprintf(stderr, "StoppedCompositorBench: %s\n", qPrintable(problem));
        return 1;
    }
    platform::LockServiceKeyboardAccess access;
    platform::overrideForTesting(&access, nullptr); // the program's own desktop layer
    QElapsedTimer waited;
    waited.start();
    while (!access.isProcessTrusted() && waited.elapsed() < 5000)
        QTest::qWait(20);

    MainWindowController controller;
    controller.window()->show();
    if (!QTest::qWaitForWindowExposed(controller.window())) {
        std::fprintf(stderr, "StoppedCompositorBench: main window never exposed\n");
        return 1;
    }
    std::printf("overlay icon breathing: %s\n",
                platform::desktop().prefersReducedMotion() ? "no (reduced motion)" : "yes");

    BenchStats before;
    BenchStats during;
    BenchStats after;
    BenchStats heartbeat;
    int lost = 0;
    StallMeter meter;
    for (int round = 0; round < rounds; ++round) {
        QTest::mouseClick(controller.lockButton()->button(), Qt::LeftButton);
        waited.restart();
        while (!allExposed(controller.overlays()) && waited.elapsed() < 5000)
            QTest::qWait(20);
        if (!controller.blocker().isActive() || !allExposed(controller.overlays())) {
            std::fprintf(stderr, "StoppedCompositorBench: the lock did not show\n");
            return 1;
        }
        PaintCounter icon;
        for (OverlayWindow* overlay : controller.overlays())
            if (auto* breathing = overlay->findChild<BreathingIcon*>(); breathing)
                breathing->installEventFilter(&icon);
        meter.restart();
        QTest::qWait(2000); // the overlays settled, their animation running
        before.add(std::chrono::milliseconds(meter.longestMs()));
        const int framesBefore = std::exchange(icon.frames, 0);

        if (const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
            !dir.isEmpty() && round == rounds - 1)
            QProcess::execute(QStringLiteral("grim"),
                              {QDir(dir).filePath(QStringLiteral("before-the-stop.png"))});
        const QList<int> beatsBefore = service.heartbeats();
        const int stopAt = beatsBefore.isEmpty() ? 0 : beatsBefore.last();
        std::atomic<bool> resumed{false};
        meter.restart();
        std::thread stopper([&] {
            ::kill(pid_t(compositor), SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(stopMs));
            ::kill(pid_t(compositor), SIGCONT);
            resumed = true;
        });
        while (!resumed)
            QTest::qWait(10);
        stopper.join();
        during.add(std::chrono::milliseconds(meter.longestMs()));

        const qint64 stalledWhileStopped = meter.longestMs();
        const int framesWhileStopped = std::exchange(icon.frames, 0);

        meter.restart();
        QTest::qWait(2000);
        const qint64 stalledAfter = meter.longestMs();
        // What the outputs show once the compositor runs again, for a look.
        if (const QString dir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
            !dir.isEmpty() && round == rounds - 1)
            QProcess::execute(QStringLiteral("grim"),
                              {QDir(dir).filePath(QStringLiteral("after-the-stop.png"))});
        after.add(std::chrono::milliseconds(stalledAfter));
        const qint64 gap = longestHeartbeatGap(service.heartbeats(), stopAt, stopAt + stopMs);
        heartbeat.add(std::chrono::milliseconds(gap));
        const bool held = service.lockState() == QStringLiteral("held") && service.sent().isEmpty();
        lost += held ? 0 : 1;
        std::printf("round %d: stall %lld ms while stopped, %lld ms after; heartbeat gap "
                    "%lld ms; keyboard %s; icon frames %d in 2 s before, %d while stopped, "
                    "%d in 2 s after\n",
                    round + 1, static_cast<long long>(stalledWhileStopped),
                    static_cast<long long>(stalledAfter), static_cast<long long>(gap),
                    held ? "held throughout" : "given back by the service", framesBefore,
                    framesWhileStopped, icon.frames);
        std::fflush(stdout);

        controller.unlock();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(500);
    }
    std::printf("main thread's longest stall, %d rounds, compositor stopped for %d ms:\n", rounds,
                stopMs);
    before.printMillis("2 s before the stop");
    during.printMillis("while stopped");
    after.printMillis("2 s after it resumed");
    heartbeat.printMillis("heartbeat: longest gap the service saw");
    if (lost)
        std::printf("  %d rounds: the service gave the keyboard back\n", lost);
    platform::overrideForTesting(nullptr, nullptr);
    return 0;
}
