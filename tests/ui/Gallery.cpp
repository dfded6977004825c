// Renders every visual component, light and dark, focused and not, in a key
// window and not, into PNGs under $TAVIMO_ARTIFACTS_DIR/gallery for people to look at.
// Usage: UiGallery [file-name-suffix]
#include "AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/AppIcon.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/Palette.h"
#include "ui/SymbolImage.h"
#include "ui/SystemColor.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

using Window = std::unique_ptr<QWidget>;

// A colourful desktop under the overlay scrim, to judge the glass against.
class Backdrop : public QWidget {
    using QWidget::QWidget;
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient sky(0, 0, width(), height());
        sky.setStops(
            {{0, QColor(246, 178, 107)}, {0.5, QColor(206, 120, 160)}, {1, QColor(62, 92, 160)}});
        painter.fillRect(rect(), sky);
        painter.fillRect(rect(), Palette::overlayScrim().resolved());
    }
};

void addIcon(int side, QWidget* parent, QPoint at)
{
    auto* label = new QLabel(parent);
    if (const std::optional<QIcon> icon = AppIcon::image())
        label->setPixmap(icon->pixmap(QSize(side, side), label->devicePixelRatioF()));
    label->setGeometry(QRect(at, QSize(side, side)));
}

// Every component on the main window's glass: the icon, buttons with and without a
// symbol, pills in every state, and a card of overlay glass over a colourful desktop.
Window components()
{
    auto window = std::make_unique<QWidget>();
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->resize(960, 560);
    auto* root =
        new GlassPanel(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.1), false, false, window.get());
    root->setGeometry(window->rect());
    QWidget* content = root->contentContainer();
    addIcon(96, content, {162, 40});
    auto* lock = new GlassButton("Lock keyboard", "lock.fill", content);
    lock->setObjectName("lock");
    lock->setGeometry(92, 200, 236, 52);
    (new GlassButton("Unknown symbol", "no.such.symbol", content))->setGeometry(92, 280, 236, 52);

    const std::tuple<const char*, const char*, bool, int> pills[] = {
        {"checkmark.shield.fill", "Keyboard access granted", true, 0},
        {"hourglass", "Waiting for Accessibility access", false, 0},
        {"exclamationmark.shield.fill", "Keyboard access still needs approval", false, 0},
        {"hand.raised.fill", "Keyboard access still needs approval — open the settings", false,
         260}, // truncated
        {"hourglass", "", false, 0},
        {"no.such.symbol", "Unknown symbol keeps its space", false, 0},
    };
    int y = 20;
    for (const auto& [symbol, title, isReady, width] : pills) {
        auto* pill = new InfoPill(symbol, title, isReady, content);
        pill->setGeometry(440, y, width ? width : pill->sizeHint().width(), 36);
        y += 48;
    }

    auto* backdrop = new Backdrop(content);
    backdrop->setGeometry(0, 350, 960, 210);
    auto* card =
        new GlassPanel(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.52), false, false, backdrop);
    card->setGeometry(300, 30, 360, 150);
    (new GlassButton("Unlock keyboard", "lock.open.fill", card->contentContainer()))
        ->setGeometry(62, 49, 236, 52);
    return window;
}

// Every symbol at the sizes and weights in use, and the application icon at several sizes.
Window artwork()
{
    auto window = std::make_unique<QWidget>();
    window->setAutoFillBackground(true);
    window->resize(820, 740);
    int y = 10;
    for (const auto& [points, weight] : {std::pair{12.0, QFont::DemiBold},
                                         {14.0, QFont::DemiBold},
                                         {24.0, QFont::Normal},
                                         {40.0, QFont::Bold}}) {
        int x = 12;
        for (const char* name : {"lock.fill", "lock.open.fill", "checkmark.shield.fill",
                                 "hourglass", "hand.raised.fill", "exclamationmark.shield.fill"}) {
            auto* view = new QLabel(window.get());
            if (auto pixmap = SymbolImage::render(name, points, weight,
                                                  Palette::textPrimary().resolved(), 2.0))
                view->setPixmap(*pixmap);
            view->setGeometry(x, y, 60, 60);
            x += 84;
        }
        y += int(points * 1.3) + 12;
    }
    int x = 10;
    for (int side : {512, 128, 64, 32, 16}) {
        addIcon(side, window.get(), {x, y + 10});
        x += side + 12;
    }
    return window;
}

enum class State { Key, KeyFocused, NotKey };

const struct {
    const char* name;
    Window (*make)();
    State state;
} scenes[] = {
    {"components-key", components, State::Key},
    {"components-key-focused", components, State::KeyFocused},
    {"components-not-key", components, State::NotKey},
    {"artwork", artwork, State::Key},
};

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
        for (const auto& scene : scenes)
            failures += !render(scene.make(), scene.state,
                                outDir + "/" + appearance + "-" + scene.name + suffix + ".png");
    }
    platform::overrideForTesting(nullptr, nullptr);
    return failures == 0 ? 0 : 1;
}
