// SPDX-License-Identifier: GPL-3.0-or-later

// The glass panel and the two components built on it: the glass button and the
// info pill, offscreen with the fake platform layer.
#include "support/AppearanceSwitch.h"
#include "support/Contrast.h"

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

// The secondary text colour, in whatever opacity keeps it legible on the glass.
bool isSecondary(QColor tint, Appearance appearance = Appearance::Light)
{
    return tint.rgb() == Palette::textSecondary().resolved(appearance).rgb() && tint != white;
}

// A lock button on the main window's glass, as the main window shows it.
struct ButtonScene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    GlassButton* glass = nullptr;
    QLineEdit* other = nullptr;

    ButtonScene()
    {
        window->resize(320, 160);
        auto* root = new GlassPanel(
            GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
            SystemColor::windowBackground().withAlpha(0.1), false, false, window.get());
        root->setGeometry(window->rect());
        glass = new GlassButton("Lock keyboard", "lock.fill", root->contentContainer());
        glass->setGeometry(42, 34, 236, 52);
        other = new QLineEdit(root->contentContainer());
        other->setGeometry(42, 120, 100, 30);
        window->show();
    }
    QImage shot() const { return window->grab().toImage(); }
};

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
        QVERIFY(qGray(Contrast::pixelAt(dark, {60, 30})) <
                qGray(Contrast::pixelAt(light, {60, 30})));
        // Round corners leave the outside clear; square ones are drawn to the corner,
        // and the 1-point stroke shows over the fill either way.
        QCOMPARE(qAlpha(Contrast::pixelAt(dark, {0, 0})) == 0, radius > 0);
        QVERIFY(Contrast::pixelAt(dark, {0, 30}) != Contrast::pixelAt(dark, {60, 30}));
        // The content is clipped to the same corners.
        const QRegion clip = panel->contentContainer()->mask();
        QVERIFY(radius > 0 ? !clip.contains(QPoint(0, 0)) && clip.contains(QPoint(60, 30))
                           : clip.isEmpty());
    }

    void buttonReportsClicksAndFocusChangesOnce()
    {
        // Outlives the window: closing it takes the focus away once more.
        QList<bool> focusCalls;
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", &window);
        glass->setGeometry(20, 20, 236, 52);
        other->setGeometry(20, 120, 100, 30);
        window.show();
        QVERIFY(activate(window));
        other->setFocus();
        FocusAwareButton* button = glass->button();
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

        // Keyboard focus, asked for twice, is reported once, lifts the glow and rings it.
        button->setFocus(Qt::TabFocusReason);
        button->setFocus(Qt::TabFocusReason);
        QCOMPARE(focusCalls, QList<bool>{true});
        QCOMPARE(glass->shadowOpacity(), 0.28);
        QVERIFY(glass->showsFocusRing());
        // Space, Return and keypad Enter press it alike; Return with a modifier does not.
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(clicks, 4);
        other->setFocus();
        QCOMPARE(focusCalls, (QList<bool>{true, false}));
        QCOMPARE(glass->shadowOpacity(), 0.2);
        QVERIFY(!glass->showsFocusRing());

        // The focus a window hands its first button when it opens is not rung.
        button->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(focusCalls, (QList<bool>{true, false, true}));
        QVERIFY(!glass->showsFocusRing());
    }

    void buttonTitleReadsAtLeastFourAndAHalfToOneOnItsFill_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("windowActive");
        QTest::newRow("light, active") << false << true;
        QTest::newRow("light, inactive") << false << false;
        QTest::newRow("dark, active") << true << true;
        QTest::newRow("dark, inactive") << true << false;
    }

    void buttonTitleReadsAtLeastFourAndAHalfToOneOnItsFill()
    {
        QFETCH(bool, dark);
        QFETCH(bool, windowActive);
        if (dark)
            AppearanceSwitch::toDark();
        ButtonScene scene;
        QVERIFY(activate(*scene.window));
        auto elsewhere = shownWindow({400, 0});
        if (!windowActive)
            QVERIFY(activate(*elsewhere));
        // The row of symbol and title, clear of the rounded ends.
        const QRect button = scene.glass->geometry();
        const QRect titleRow(button.left() + 40, button.center().y() - 9, button.width() - 80, 19);
        const Contrast::TextOnFill measured = Contrast::textOnFill(scene.shot(), titleRow);
        qInfo("button title: %.2f:1, %s on %s", measured.ratio,
              qPrintable(QColor(measured.text).name()), qPrintable(QColor(measured.fill).name()));
        QVERIFY2(measured.ratio >= 4.5,
                 qPrintable(QString("%1:1, %2 on %3")
                                .arg(measured.ratio, 0, 'f', 2)
                                .arg(QColor(measured.text).name(), QColor(measured.fill).name())));
    }

    void keyboardFocusRingsTheButtonVisiblyOnEverySide_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void keyboardFocusRingsTheButtonVisiblyOnEverySide()
    {
        QFETCH(bool, dark);
        if (dark)
            AppearanceSwitch::toDark();
        ButtonScene scene;
        QVERIFY(activate(*scene.window));
        scene.other->setFocus();
        const QImage before = scene.shot();
        scene.glass->button()->setFocus(Qt::TabFocusReason);
        const QImage after = scene.shot();

        // Each side's point in the middle of the ring, outside the capsule: it must stand
        // out from what was there by 3:1, as a focus indicator should.
        const QRect b = scene.glass->geometry();
        const int out = 4;
        const QPoint sides[] = {{b.center().x(), b.top() - out},
                                {b.center().x(), b.bottom() + out},
                                {b.left() - out, b.center().y()},
                                {b.right() + out, b.center().y()}};
        for (const QPoint at : sides) {
            const double ratio =
                Contrast::ratio(Contrast::pixelAt(after, at), Contrast::pixelAt(before, at));
            qInfo("focus ring at %d,%d: %.2f:1 against the unfocused pixel", at.x(), at.y(), ratio);
            QVERIFY2(
                ratio >= 3.0,
                qPrintable(QString("%1:1 at %2,%3").arg(ratio, 0, 'f', 2).arg(at.x()).arg(at.y())));
        }
        const int change = Contrast::largestChange(before, after, b.adjusted(-8, -8, 8, 8));
        qInfo("focus: pixels around the button change by up to %d/255", change);
        QVERIFY2(change >= 200, qPrintable(QString("pixels change by %1/255").arg(change)));
    }

    void buttonTintFollowsTheActivationOfItsOwnWindowOnly()
    {
        auto first = shownWindow({0, 0});
        auto second = shownWindow({400, 0});
        auto third = shownWindow({800, 0});
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", first.get());
        glass->show();
        QVERIFY(activate(*second));
        QVERIFY(isSecondary(tintOf(*glass)));
        QVERIFY(activate(*first));
        QCOMPARE(tintOf(*glass), white);

        // Moved into the second window, which is not active now.
        glass->setParent(second.get());
        glass->show();
        QVERIFY(isSecondary(tintOf(*glass)));
        QVERIFY(activate(*third));
        QVERIFY(activate(*first));
        // The old window became active: that no longer concerns the button.
        QVERIFY(isSecondary(tintOf(*glass)));
        AppearanceSwitch::toDark();
        QVERIFY(isSecondary(tintOf(*glass), Appearance::Dark));
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
