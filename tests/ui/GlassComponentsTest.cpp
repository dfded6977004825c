// The glass panel and the two components built on it: the glass button and the
// info pill, offscreen with the fake platform layer.
#include "AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/ElidedLabel.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/NativeGlassView.h"
#include "ui/Palette.h"
#include "ui/SymbolView.h"
#include "ui/SystemColor.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <type_traits>

using platform::SystemVersion;
using Os = SystemVersion::Os;
Q_DECLARE_METATYPE(platform::SystemVersion)

// Half-made components cannot be written down: the mistake stops the build.
static_assert(!std::is_constructible_v<GlassPanel, QWidget*> &&
              !std::is_constructible_v<GlassButton, QWidget*> &&
              !std::is_constructible_v<InfoPill, QWidget*>);

namespace {

const QColor white(255, 255, 255);

std::unique_ptr<GlassPanel> makePanel(std::optional<AppearanceColor> tint, qreal radius = 18,
                                      bool isInteractive = false)
{
    auto panel =
        std::make_unique<GlassPanel>(GlassMaterial::Menu, radius, GlassBlending::WithinWindow, tint,
                                     /*isClear*/ true, isInteractive);
    panel->show();
    return panel;
}

// Where a child sits in the coordinates of an ancestor.
QRect placeIn(const QWidget* ancestor, const QWidget* child)
{
    return QRect(child->mapTo(ancestor, QPoint()), child->size());
}

std::unique_ptr<QWidget> shownWindow(QPoint at)
{
    auto window = std::make_unique<QWidget>();
    window->setGeometry(QRect(at, QSize(320, 200)));
    window->show();
    return window;
}

bool activate(QWidget& window)
{
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

QColor tintOf(const GlassButton& button)
{
    const auto& tint = button.button()->contentTint();
    return tint ? tint->resolved() : QColor();
}

} // namespace

class GlassComponentsTest : public QObject {
    Q_OBJECT

    platform::FakeDesktop desktop;

private slots:
    void init()
    {
        desktop.version = {Os::Linux, 6, 1, 0};
        platform::overrideForTesting(nullptr, &desktop);
        AppearanceSwitch::toLight();
    }
    void cleanup() { platform::overrideForTesting(nullptr, nullptr); }

    void panelModeFollowsTheSystemVersion_data()
    {
        QTest::addColumn<SystemVersion>("version");
        QTest::addColumn<bool>("native");
        QTest::addColumn<bool>("interactivePassedOn");
        QTest::newRow("linux") << SystemVersion{Os::Linux, 27, 0, 0} << false << false;
        QTest::newRow("macOS 25.9") << SystemVersion{Os::MacOS, 25, 9, 0} << false << false;
        QTest::newRow("macOS 26.0") << SystemVersion{Os::MacOS, 26, 0, 0} << true << false;
        QTest::newRow("macOS 27.0") << SystemVersion{Os::MacOS, 27, 0, 0} << true << true;
    }

    void panelModeFollowsTheSystemVersion()
    {
        QFETCH(SystemVersion, version);
        QFETCH(bool, native);
        QFETCH(bool, interactivePassedOn);
        desktop.version = version;
        const AppearanceColor tint = SystemColor::label().withAlpha(0.05);

        for (bool interactive : {true, false}) {
            auto panel = makePanel(tint, 18, interactive);
            panel->resize(140, 44);
            QCOMPARE(panel->usesNativeGlass(), native);
            // Whichever view draws the glass, it and the content fill the panel.
            QCOMPARE(panel->backingView()->geometry(), QRect(0, 0, 140, 44));
            QCOMPARE(placeIn(panel.get(), panel->contentContainer()), QRect(0, 0, 140, 44));
            if (!native)
                continue;
            NativeGlassView* glass = panel->nativeGlass();
            QCOMPARE(glass->effectIsInteractive().has_value(), interactivePassedOn);
            if (interactivePassedOn)
                QCOMPARE(*glass->effectIsInteractive(), interactive);
            QCOMPARE(glass->contentView(), panel->contentContainer());
        }
    }

    void fallbackPanelColoursFollowASwitchToDark_data()
    {
        QTest::addColumn<bool>("tinted");
        QTest::addColumn<qreal>("radius");
        QTest::newRow("tinted, round") << true << 18.0;
        QTest::newRow("surface fill, square") << false << 0.0;
    }

    void fallbackPanelColoursFollowASwitchToDark()
    {
        QFETCH(bool, tinted);
        QFETCH(qreal, radius);
        const AppearanceColor tint = SystemColor::windowBackground().withAlpha(0.52);
        const AppearanceColor& fill = tinted ? tint : Palette::surfaceFill();
        auto panel = makePanel(tinted ? std::optional(tint) : std::nullopt, radius);
        panel->resize(120, 60);
        QCOMPARE(panel->borderWidth(), 1.0);
        QCOMPARE(panel->backgroundColor(), fill.resolved(Appearance::Light));
        QCOMPARE(panel->borderColor(), Palette::glassStroke().resolved(Appearance::Light));
        const QImage light = panel->grab().toImage();

        AppearanceSwitch::toDark();
        QCOMPARE(panel->backgroundColor(), fill.resolved(Appearance::Dark));
        QCOMPARE(panel->borderColor(), Palette::glassStroke().resolved(Appearance::Dark));
        // What is drawn changes too, not only the stored values.
        const QImage dark = panel->grab().toImage();
        QVERIFY(qGray(dark.pixel(60, 30)) < qGray(light.pixel(60, 30)));
        // Round corners leave the outside clear; square ones are drawn to the corner,
        // and the 1-point stroke shows over the fill either way.
        QCOMPARE(qAlpha(dark.pixel(0, 0)) == 0, radius > 0);
        QVERIFY(dark.pixel(0, 30) != dark.pixel(60, 30));
        // The content is clipped to the same corners.
        const QRegion clip = panel->contentContainer()->mask();
        QVERIFY(radius > 0 ? !clip.contains(QPoint(0, 0)) && clip.contains(QPoint(60, 30))
                           : clip.isEmpty());
    }

    void buttonReportsClicksAndFocusChangesOnce()
    {
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", &window);
        glass->setGeometry(20, 20, 236, 52);
        other->setGeometry(20, 120, 100, 30);
        window.show();
        QVERIFY(activate(window));
        other->setFocus();
        FocusAwareButton* button = glass->button();
        QList<bool> focusCalls;
        button->onFocusChange = [&focusCalls, forward = button->onFocusChange](bool focused) {
            focusCalls.append(focused);
            forward(focused);
        };

        // Without a callback a click does nothing, and nothing breaks.
        QTest::mouseClick(button, Qt::LeftButton);
        int clicks = 0;
        glass->onClick = [&clicks] {
            ++clicks;
        };
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
        // A mouse click does not take keyboard focus, so the glow stays at rest.
        QVERIFY(other->hasFocus());
        QCOMPARE(focusCalls, QList<bool>{});
        QCOMPARE(glass->shadowOpacity(), 0.2);

        // Keyboard focus, asked for twice, is reported once and lifts the glow.
        button->setFocus(Qt::TabFocusReason);
        button->setFocus(Qt::TabFocusReason);
        QCOMPARE(focusCalls, QList<bool>{true});
        QCOMPARE(glass->shadowOpacity(), 0.28);
        QTest::keyClick(button, Qt::Key_Space);
        QCOMPARE(clicks, 2);
        other->setFocus();
        QCOMPARE(focusCalls, (QList<bool>{true, false}));
        QCOMPARE(glass->shadowOpacity(), 0.2);
    }

    void buttonTintFollowsTheActivationOfItsOwnWindowOnly()
    {
        auto first = shownWindow({0, 0});
        auto second = shownWindow({400, 0});
        auto third = shownWindow({800, 0});
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", first.get());
        glass->show();
        QVERIFY(activate(*second));
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        QVERIFY(activate(*first));
        QCOMPARE(tintOf(*glass), white);

        // Moved into the second window, which is not active now.
        glass->setParent(second.get());
        glass->show();
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        QVERIFY(activate(*third));
        QVERIFY(activate(*first));
        // The old window became active: that no longer concerns the button.
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        AppearanceSwitch::toDark();
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved(Appearance::Dark));
        QVERIFY(activate(*second));
        QCOMPARE(tintOf(*glass), white);

        // In no window at all: white, whatever window becomes active.
        glass->setParent(nullptr);
        QVERIFY(activate(*third));
        QCOMPARE(tintOf(*glass), white);
        delete glass;
    }

    void pillKeepsItsInsetsAndEndsLongTitlesInAnEllipsis_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("title");
        QTest::newRow("ready") << "checkmark.shield.fill"
                               << "Keyboard access still needs approval";
        QTest::newRow("empty title, unknown symbol") << "no.such.symbol" << QString();
    }

    void pillKeepsItsInsetsAndEndsLongTitlesInAnEllipsis()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, title);
        InfoPill pill(symbol, title, true);
        pill.show();
        QCOMPARE(pill.iconView()->hasImage(), symbol != "no.such.symbol");
        // Medium weight at 11.5 device-independent pixels, fraction kept.
        const QFont font = pill.label()->font();
        QCOMPARE(font.weight(), QFont::Medium);
        QVERIFY(qAbs(font.pointSizeF() * pill.logicalDpiY() / 72.0 - 11.5) < 0.01);
        const int natural =
            12 + 14 + 7 + (title.isEmpty() ? 0 : pill.label()->sizeHint().width()) + 12;
        QCOMPARE(pill.sizeHint(), QSize(natural, 36));

        for (int width : {natural, 400, 120}) {
            pill.resize(width, 36);
            const QRect icon = placeIn(&pill, pill.iconView());
            const QRect label = placeIn(&pill, pill.label());
            QCOMPARE(icon, QRect(12, 11, 14, 14));
            QCOMPARE(label.left(), 12 + 14 + 7);
            QCOMPARE(label.right() + 1, width - 12);
            QVERIFY(qAbs(label.center().y() - icon.center().y()) <= 1);
            QCOMPARE(pill.glass()->geometry(), QRect(0, 0, width, 36));
            const QString shown = pill.label()->displayedText();
            if (width >= natural)
                QCOMPARE(shown, title);
            else
                QVERIFY2(shown.endsWith(QChar(0x2026)) && title.startsWith(shown.chopped(1)) &&
                             QFontMetrics(font).horizontalAdvance(shown) <= label.width(),
                         qPrintable(shown));
        }
    }

    void pillTintAndAccessibleNameFollowUpdates()
    {
        InfoPill pill("checkmark.shield.fill", "Keyboard access granted", true);
        pill.show();
        QAccessibleInterface* element = QAccessible::queryAccessibleInterface(&pill);
        QVERIFY(element && element->role() == QAccessible::StaticText);
        QCOMPARE(element->childCount(), 0);
        QCOMPARE(pill.iconView()->tint()->resolved(), SystemColor::systemGreen().resolved());

        pill.update("hourglass", "Waiting for access", false);
        QCOMPARE(element->text(QAccessible::Name), QString("Waiting for access"));
        QCOMPARE(pill.iconView()->symbolName(), QString("hourglass"));
        AppearanceSwitch::toDark(); // not ready: secondary text colour, resolved anew
        QCOMPARE(pill.iconView()->tint()->resolved(),
                 Palette::textSecondary().resolved(Appearance::Dark));
    }
};

QTEST_MAIN(GlassComponentsTest)
#include "GlassComponentsTest.moc"
