// What an overlay costs to build, by part: the snapshot of each screen, its blur,
// and the whole overlay. Blur also on synthetic 1920×1080 and 3840×2160 pictures.
// Run under an X server; for a 3840×2160 snapshot, on an Xvfb of that size.
#include "Timings.h"

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

template <typename F> Timings time(int rounds, F&& work)
{
    Timings timings;
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

    std::printf("blur alone (shrink, box blur, stretch)\n");
    for (const QSize size : {QSize(1920, 1080), QSize(3840, 2160)}) {
        const QImage picture = synthetic(size);
        time(rounds, [&] {
            BlurredBackdrop::blur(picture);
        }).print(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    }

    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        return 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QString name = QStringLiteral("%1 %2x%3")
                                 .arg(screen->name())
                                 .arg(screen->geometry().width())
                                 .arg(screen->geometry().height());
        std::printf("screen %s\n", qPrintable(name));
        time(rounds, [&] { screen->grabWindow(0); }).print("snapshot (QScreen::grabWindow)");
        time(rounds, [&] { BlurredBackdrop::ofScreen(*screen); }).print("snapshot and blur");
        time(rounds, [&] { OverlayWindow overlay(screen, [] {}); }).print("whole overlay, built");
    }
    std::printf("parts\n");
    time(rounds, [] { AppIcon::image(); }).print("AppIcon::image()");
    time(rounds, [] { platform::desktop().prefersReducedMotion(); }).print("reduced motion read");
    time(rounds, [] { platform::desktop().compositesWindows(); }).print("compositor check");
    time(rounds, [] { platform::keyboardAccess().isProcessTrusted(); }).print("trust check");
    return 0;
}
