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
#include "ui/UiFont.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadialGradient>
#include <QTest>

#include <cstdio>

namespace {

QString g_outDir;
QString g_suffix;
int g_failures = 0;

void save(QWidget& widget, const QString& name)
{
    const QString path = g_outDir + "/" + name + g_suffix + ".png";
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

// A soft, photo-like backdrop: what the blurred desktop behind an overlay looks like.
class Backdrop : public QWidget {
public:
    explicit Backdrop(bool withScrim, QWidget* parent = nullptr)
        : QWidget(parent), m_withScrim(withScrim)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, width(), height());
        sky.setColorAt(0, QColor(246, 178, 107));
        sky.setColorAt(0.5, QColor(206, 120, 160));
        sky.setColorAt(1, QColor(62, 92, 160));
        p.fillRect(rect(), sky);
        const QList<std::tuple<QPointF, qreal, QColor>> blobs = {
            {{0.2, 0.3}, 0.35, QColor(255, 235, 160, 170)},
            {{0.75, 0.25}, 0.3, QColor(120, 200, 255, 150)},
            {{0.55, 0.8}, 0.4, QColor(40, 60, 120, 170)},
            {{0.1, 0.9}, 0.3, QColor(255, 120, 90, 140)},
        };
        for (const auto& [centre, radius, colour] : blobs) {
            const QPointF c(centre.x() * width(), centre.y() * height());
            QRadialGradient g(c, radius * width());
            g.setColorAt(0, colour);
            QColor edge = colour;
            edge.setAlpha(0);
            g.setColorAt(1, edge);
            p.fillRect(rect(), g);
        }
        if (m_withScrim)
            p.fillRect(rect(), Palette::overlayScrim().resolved());
    }

private:
    bool m_withScrim;
};

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight,
                  const AppearanceColor& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(UiFont::system(points, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour.resolved());
    label->setPalette(palette);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* iconLabel(int side, QWidget* parent)
{
    auto* label = new QLabel(parent);
    if (const std::optional<QIcon> icon = AppIcon::image())
        label->setPixmap(icon->pixmap(QSize(side, side), label->devicePixelRatioF()));
    label->setFixedSize(side, side);
    return label;
}

// A main-window-like arrangement: glass background, icon, name, pill, button.
std::unique_ptr<QWidget> mainWindowScene(bool ready, const QString& buttonSymbol)
{
    auto window = std::make_unique<QWidget>();
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->resize(420, 460);
    auto* root =
        new GlassPanel(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.1), false, false, window.get());
    root->setGeometry(window->rect());
    QWidget* content = root->contentContainer();
    iconLabel(96, content)->move(162, 40);
    auto* name = textLabel("Tavimo", 26, QFont::Bold, Palette::textPrimary(), content);
    name->setGeometry(0, 146, 420, 34);
    auto* blurb = textLabel("Lock the keyboard while you clean it.\nThe mouse stays free.", 13,
                            QFont::Normal, Palette::textSecondary(), content);
    blurb->setGeometry(0, 186, 420, 40);
    auto* pill =
        ready ? new InfoPill("checkmark.shield.fill", "Keyboard access granted", true, content)
              : new InfoPill("hourglass", "Waiting for Accessibility access", false, content);
    const QSize pillSize = pill->sizeHint();
    pill->setGeometry((420 - pillSize.width()) / 2, 250, pillSize.width(), 36);
    auto* button = new GlassButton("Lock keyboard", buttonSymbol, content);
    button->setObjectName("lockButton");
    button->setGeometry(92, 318, 236, 52);
    auto* link = textLabel("tavimo.example", 11, QFont::Normal, Palette::textTertiary(), content);
    link->setGeometry(0, 400, 420, 20);
    // Something else to hold focus, so that "not focused" is a real state.
    auto* sink = new QLineEdit(content);
    sink->setGeometry(-100, -100, 10, 10);
    return window;
}

std::unique_ptr<QWidget> overlayScene(bool primary)
{
    auto window = std::make_unique<Backdrop>(true);
    window->resize(primary ? 760 : 560, primary ? 560 : 400);
    const QSize cardSize = primary ? QSize(440, 360) : QSize(340, 230);
    auto* card =
        new GlassPanel(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.52), false, false, window.get());
    card->setGeometry(QRect(QPoint((window->width() - cardSize.width()) / 2,
                                   (window->height() - cardSize.height()) / 2),
                            cardSize));
    QWidget* content = card->contentContainer();
    const int w = cardSize.width();
    iconLabel(primary ? 84 : 64, content)->move((w - (primary ? 84 : 64)) / 2, 32);
    auto* title = textLabel("Keyboard locked", primary ? 28 : 22, QFont::Bold,
                            Palette::textPrimary(), content);
    title->setGeometry(0, primary ? 130 : 108, w, 36);
    auto* message = textLabel("Wipe away — no key press reaches any app.", 14, QFont::Normal,
                              Palette::textSecondary(), content);
    message->setGeometry(0, primary ? 170 : 148, w, 22);
    if (primary) {
        auto* unlock = new GlassButton("Unlock keyboard", "lock.open.fill", content);
        unlock->setGeometry((w - 236) / 2, 228, 236, 52);
        auto* hint =
            textLabel("Click once to return", 12, QFont::Medium, Palette::textTertiary(), content);
        hint->setGeometry(0, 300, w, 20);
    }
    return window;
}

std::unique_ptr<QWidget> pillsScene()
{
    auto window = std::make_unique<QWidget>();
    window->resize(460, 420);
    auto* root =
        new GlassPanel(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.1), false, false, window.get());
    root->setGeometry(window->rect());
    struct Row {
        const char* symbol;
        const char* title;
        bool ready;
        int width; // 0: natural
    };
    const Row rows[] = {
        {"checkmark.shield.fill", "Keyboard access granted", true, 0},
        {"hourglass", "Waiting for Accessibility access", false, 0},
        {"exclamationmark.shield.fill", "Keyboard access still needs approval", false, 0},
        {"hand.raised.fill", "Keyboard access still needs approval — open the settings to allow it",
         false, 300},
        {"hourglass", "", false, 0},
        {"no.such.symbol", "Unknown symbol keeps its space", false, 0},
        {"lock.fill", "Keyboard locked", true, 0},
        {"lock.open.fill", "Keyboard unlocked", false, 0},
    };
    int y = 16;
    for (const Row& row : rows) {
        auto* pill = new InfoPill(row.symbol, row.title, row.ready, root->contentContainer());
        const int width = row.width ? row.width : pill->sizeHint().width();
        pill->setGeometry(20, y, width, 36);
        y += 50;
    }
    return window;
}

std::unique_ptr<QWidget> symbolsScene()
{
    auto window = std::make_unique<QWidget>();
    window->setAutoFillBackground(true);
    window->resize(520, 200);
    const QStringList names = {"lock.fill", "lock.open.fill",   "checkmark.shield.fill",
                               "hourglass", "hand.raised.fill", "exclamationmark.shield.fill"};
    const QList<std::pair<qreal, QFont::Weight>> sizes = {
        {12, QFont::DemiBold}, {14, QFont::DemiBold}, {24, QFont::Normal}, {40, QFont::Bold}};
    int y = 10;
    for (const auto& [points, weight] : sizes) {
        int x = 12;
        for (const QString& name : names) {
            auto* view = new QLabel(window.get());
            const auto pixmap =
                SymbolImage::render(name, points, weight, Palette::textPrimary().resolved(), 2.0);
            if (pixmap)
                view->setPixmap(*pixmap);
            view->setGeometry(x, y, int(points * 1.3) + 4, int(points * 1.3) + 4);
            x += 84;
        }
        y += int(points * 1.3) + 12;
    }
    return window;
}

std::unique_ptr<QWidget> iconScene()
{
    auto window = std::make_unique<QWidget>();
    window->setAutoFillBackground(true);
    window->resize(820, 540);
    int x = 10;
    for (int side : {512, 128, 64, 32, 16}) {
        iconLabel(side, window.get())->move(x, 10);
        x += side + 12;
    }
    return window;
}

bool activate(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

void renderAppearance(const QString& appearance)
{
    // Key window and not: the second window takes activation from the first.
    for (const bool ready : {true, false}) {
        auto scene = mainWindowScene(ready, "lock.fill");
        auto* button = scene->findChild<GlassButton*>("lockButton");
        if (!activate(*scene))
            ++g_failures;
        const QString state = ready ? "ready" : "waiting";
        save(*scene, appearance + "-main-" + state + "-key");
        button->button()->setFocus(Qt::TabFocusReason);
        save(*scene, appearance + "-main-" + state + "-key-focused");
        auto other = std::make_unique<QWidget>();
        other->setGeometry(600, 0, 100, 100);
        if (!activate(*other))
            ++g_failures;
        save(*scene, appearance + "-main-" + state + "-not-key");
    }
    {
        auto scene = mainWindowScene(true, "no.such.symbol");
        activate(*scene);
        save(*scene, appearance + "-main-unknown-button-symbol");
    }
    for (const bool primary : {true, false}) {
        auto scene = overlayScene(primary);
        activate(*scene);
        save(*scene, appearance + (primary ? "-overlay-primary" : "-overlay-secondary"));
        if (primary) {
            if (auto* button = scene->findChild<GlassButton*>())
                button->button()->setFocus(Qt::TabFocusReason);
            save(*scene, appearance + "-overlay-primary-focused");
        }
    }
    auto pills = pillsScene();
    activate(*pills);
    save(*pills, appearance + "-pills");
    auto symbols = symbolsScene();
    save(*symbols, appearance + "-symbols");
    auto icons = iconScene();
    save(*icons, appearance + "-icon");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::FakeDesktop desktop;
    platform::overrideForTesting(nullptr, &desktop);

    const QString artifacts = qEnvironmentVariable("TAVIMO_ARTIFACTS_DIR");
    if (artifacts.isEmpty()) {
        std::fprintf(stderr, "TAVIMO_ARTIFACTS_DIR is not set\n");
        return 2;
    }
    g_outDir = artifacts + "/gallery";
    // A second run at another scale factor names its files apart, e.g. "@2x".
    if (argc > 1)
        g_suffix = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(g_outDir));
        return 1;
    }

    AppearanceSwitch::toLight();
    renderAppearance("light");
    AppearanceSwitch::toDark();
    renderAppearance("dark");

    platform::overrideForTesting(nullptr, nullptr);
    return g_failures == 0 ? 0 : 1;
}
