// SPDX-License-Identifier: GPL-3.0-or-later

// What the visual components cost: building each one, painting it, rendering a
// symbol (first time and from the cache) and loading the application icon.
// Runs offscreen by itself (QT_QPA_PLATFORM=offscreen); argument: rounds (200). Paints
// at the screen's pixel density: QT_SCALE_FACTOR=2 measures a HiDPI screen.
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/AppIcon.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/SymbolImage.h"
#include "ui/SystemColor.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

template <typename F> void measure(const char* name, int rounds, F&& work)
{
    std::vector<double> micros;
    micros.reserve(std::size_t(rounds));
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        work(i);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("  %-44s median %9.1f µs   p95 %9.1f µs   (n=%d)\n", name,
                micros[micros.size() / 2], micros[std::size_t(0.95 * double(micros.size() - 1))],
                rounds);
}

// An image for a widget's repaint at the screen's pixel density.
QImage canvasFor(const QWidget& widget)
{
    const qreal ratio = widget.devicePixelRatioF();
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    return image;
}

// Paints a widget and its children into an image, as a repaint of it on screen would.
void paintInto(QWidget& widget, QImage& target)
{
    target.fill(Qt::transparent);
    QPainter painter(&target);
    widget.render(&painter);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::FakeDesktop desktop;
    platform::overrideForTesting(nullptr, &desktop);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;

    std::printf("symbols (12 pt semibold, 2x)\n");
    measure("render, first time (new tint each round)", rounds, [](int i) {
        SymbolImage::render("checkmark.shield.fill", 12, QFont::DemiBold, QColor(i % 256, 0, 0),
                            2.0);
    });
    measure("render, cached", rounds, [](int) {
        SymbolImage::render("checkmark.shield.fill", 12, QFont::DemiBold, Qt::black, 2.0);
    });

    std::printf("construction\n");
    measure("GlassPanel (overlay card)", rounds, [](int) {
        GlassPanel panel(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                         SystemColor::windowBackground().withAlpha(0.52), false, false);
    });
    measure("GlassButton", rounds, [](int) { GlassButton button("Lock keyboard", "lock.fill"); });
    measure("InfoPill", rounds,
            [](int) { InfoPill pill("hourglass", "Waiting for Accessibility access", false); });

    std::printf("paint (into an image, %gx)\n", qApp->devicePixelRatio());
    GlassPanel card(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                    SystemColor::windowBackground().withAlpha(0.52), false, false);
    card.resize(440, 360);
    QImage cardImage = canvasFor(card);
    measure("overlay card 440x360", rounds, [&](int) { paintInto(card, cardImage); });

    GlassPanel root(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                    SystemColor::windowBackground().withAlpha(0.1), false, false);
    root.resize(420, 460);
    QImage rootImage = canvasFor(root);
    measure("main window background 420x460", rounds, [&](int) { paintInto(root, rootImage); });

    GlassButton button("Lock keyboard", "lock.fill");
    button.resize(236, 52);
    QImage buttonImage = canvasFor(button);
    measure("glass button 236x52 with glow", rounds, [&](int) { paintInto(button, buttonImage); });

    InfoPill pill("hourglass", "Waiting for Accessibility access", false);
    pill.resize(pill.sizeHint());
    QImage pillImage = canvasFor(pill);
    measure("info pill", rounds, [&](int) { paintInto(pill, pillImage); });

    std::printf("application icon\n");
    const Clock::time_point firstStart = Clock::now();
    AppIcon::image();
    std::printf("  %-44s %9.1f µs\n", "AppIcon::image(), first call (decodes)",
                std::chrono::duration<double, std::micro>(Clock::now() - firstStart).count());
    measure("AppIcon::image(), later calls", rounds, [](int) { AppIcon::image(); });

    platform::overrideForTesting(nullptr, nullptr);
    return 0;
}
