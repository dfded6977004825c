// SPDX-License-Identifier: GPL-3.0-or-later

// What an overlay costs to build, by part: the snapshot of each screen, its blur,
// and the whole overlay. Run under an X server (tests/support/with-xvfb.sh
// --two-monitors); for a 3840×2160 screen, on an Xvfb of that size.
#include "BenchStats.h"

#include "platform/Platform.h"
#include "ui/AppIcon.h"
#include "windows/BlurredBackdrop.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;

namespace {

QImage synthetic(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::darkYellow);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    for (int y = 0; y < size.height(); y += 24)
        painter.drawText(10, y, QStringLiteral("The quick brown fox jumps over the lazy dog"));
    return image;
}

template <typename F> BenchStats time(int rounds, F&& work)
{
    BenchStats timings;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        timings.add(Clock::now() - start);
    }
    return timings;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int factor = BlurredBackdrop::kShrinkFactor;

    std::printf("blur of the shrunk picture alone\n");
    for (const QSize size : {QSize(1920, 1080), QSize(3840, 2160)}) {
        const QImage small = synthetic(size / factor);
        time(rounds, [&] { BlurredBackdrop::blur(small); })
            .printMillis(
                qPrintable(QStringLiteral("%1x%2 screen").arg(size.width()).arg(size.height())));
    }

    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        std::fprintf(stderr, "BackdropBench: no X server, snapshots not measured\n");
        return 1;
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        std::printf("screen %s %dx%d\n", qPrintable(screen->name()), screen->geometry().width(),
                    screen->geometry().height());
        if (platform::desktop().screenSnapshot(*screen, factor).isNull()) {
            std::printf("  the desktop layer cannot read this screen\n");
            continue;
        }
        time(rounds, [&] {
            screen->grabWindow(0).toImage();
        }).printMillis("full-size snapshot (QScreen::grabWindow), for scale");
        time(rounds, [&] {
            platform::desktop().screenSnapshot(*screen, factor);
        }).printMillis("shrunk snapshot (X server scales)");
        time(rounds, [&] {
            BlurredBackdrop::ofScreen(*screen);
        }).printMillis("shrunk snapshot and blur");
        time(rounds, [&] {
            OverlayWindow overlay(screen, [] {});
        }).printMillis("whole overlay, built");
    }
    std::printf("parts\n");
    time(rounds, [] { AppIcon::image(); }).printMillis("AppIcon::image()");
    time(rounds, [] {
        platform::desktop().prefersReducedMotion();
    }).printMillis("reduced motion read");
    time(rounds, [] { platform::desktop().compositesWindows(); }).printMillis("compositor check");
    time(rounds, [] { platform::keyboardAccess().isProcessTrusted(); }).printMillis("trust check");
    return 0;
}
