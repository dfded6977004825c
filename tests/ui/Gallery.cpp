// SPDX-License-Identifier: GPL-3.0-or-later

// Renders every visual component, light and dark, focused and not, in a key window
// and not, into PNGs under $TAVIMO_ARTIFACTS_DIR/gallery for people to look at.
// Usage: UiGallery [file-name-suffix]
#include "support/AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/AppIcon.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/SystemColor.h"

#include <QDir>
#include <QLabel>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

using Window = std::unique_ptr<QWidget>;

// Every component on the main window's glass: the icon, a button, pills in every state,
// and a rounded card of overlay glass with a button on it.
Window components()
{
    auto window = std::make_unique<QWidget>();
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->resize(960, 480);
    auto* root =
        new GlassPanel(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.1), false, false, window.get());
    root->setGeometry(window->rect());
    QWidget* content = root->contentContainer();
    auto* icon = new QLabel(content);
    if (const std::optional<QIcon> image = AppIcon::image())
        icon->setPixmap(image->pixmap(QSize(96, 96), icon->devicePixelRatioF()));
    icon->setGeometry(162, 40, 96, 96);
    auto* lock = new GlassButton("Lock keyboard", "lock.fill", content);
    lock->setObjectName("lock");
    lock->setGeometry(92, 200, 236, 52);

    const std::tuple<const char*, const char*, bool, int> pills[] = {
        {"checkmark.shield.fill", "Keyboard access granted", true, 0},
        {"hourglass", "Waiting for Accessibility access", false, 0},
        {"hand.raised.fill", "Keyboard access still needs approval — open the settings", false,
         260}, // truncated
        {"exclamationmark.shield.fill", "", false, 0},
    };
    int y = 20;
    for (const auto& [symbol, title, isReady, width] : pills) {
        auto* pill = new InfoPill(symbol, title, isReady, content);
        pill->setGeometry(440, y, width ? width : pill->sizeHint().width(), 36);
        y += 48;
    }

    auto* card =
        new GlassPanel(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.52), false, false, content);
    card->setGeometry(300, 300, 360, 150);
    (new GlassButton("Unlock keyboard", "lock.open.fill", card->contentContainer()))
        ->setGeometry(62, 49, 236, 52);
    return window;
}

enum class State { Key, KeyFocused, NotKey };
const std::pair<const char*, State> scenes[] = {{"components-key", State::Key},
                                                {"components-key-focused", State::KeyFocused},
                                                {"components-not-key", State::NotKey}};

bool activate(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

bool render(Window window, State state, const QString& path)
{
    bool ok = activate(*window);
    if (state == State::KeyFocused) {
        auto* button = window->findChild<GlassButton*>("lock");
        button->button()->setFocus(Qt::TabFocusReason);
        ok = ok && button->button()->hasFocus();
    }
    // Another window takes activation, so the scene's window is no longer key.
    QWidget other;
    other.setGeometry(600, 0, 100, 100);
    if (state == State::NotKey)
        ok = activate(other) && ok;
    ok = window->grab().save(path) && ok;
    if (!ok)
        std::fprintf(stderr, "cannot render %s\n", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::FakeDesktop desktop;
    platform::overrideForTesting(nullptr, &desktop);
    const QString outDir = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR") + "/gallery";
    if (!qEnvironmentVariableIsSet("TAVIMO_ARTIFACTS_DIR") || !QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create $TAVIMO_ARTIFACTS_DIR/gallery\n");
        return 1;
    }
    // A second run at another scale factor names its files apart, e.g. "@2x".
    const QString suffix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    int failures = 0;
    for (const auto& [appearance, switchTo] :
         {std::pair{"light", &AppearanceSwitch::toLight}, {"dark", &AppearanceSwitch::toDark}}) {
        switchTo();
        for (const auto& [name, state] : scenes)
            failures += !render(components(), state,
                                outDir + "/" + appearance + "-" + name + suffix + ".png");
    }
    platform::overrideForTesting(nullptr, nullptr);
    return failures == 0 ? 0 : 1;
}
