#include "AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/FallbackGlassView.h"
#include "ui/GlassPanel.h"
#include "ui/NativeGlassView.h"
#include "ui/Palette.h"
#include "ui/SystemColor.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <type_traits>

using platform::SystemVersion;
Q_DECLARE_METATYPE(platform::SystemVersion)

// A half-made GlassPanel cannot be written down: the mistake stops the build.
static_assert(!std::is_default_constructible_v<GlassPanel>);
static_assert(!std::is_constructible_v<GlassPanel, QWidget*>);

namespace {

SystemVersion mac(int major, int minor, int patch)
{
    return {SystemVersion::Os::MacOS, major, minor, patch};
}

GlassPanel* makePanel(std::optional<AppearanceColor> tint, qreal radius = 18,
                      bool isInteractive = false)
{
    return new GlassPanel(GlassMaterial::Menu, radius, GlassBlending::WithinWindow, tint,
                          /*isClear*/ true, isInteractive);
}

QImage render(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class GlassPanelTest : public QObject {
    Q_OBJECT

    platform::FakeDesktop desktop;

private slots:
    void init()
    {
        desktop.version = {SystemVersion::Os::Linux, 6, 1, 0};
        platform::overrideForTesting(nullptr, &desktop);
        AppearanceSwitch::toLight();
    }
    void cleanup() { platform::overrideForTesting(nullptr, nullptr); }

    void modeFollowsTheSystemVersion_data()
    {
        QTest::addColumn<SystemVersion>("version");
        QTest::addColumn<bool>("native");
        QTest::addColumn<bool>("interactivePassedOn");
        QTest::newRow("linux") << SystemVersion{SystemVersion::Os::Linux, 27, 0, 0} << false
                               << false;
        QTest::newRow("macOS 25.9.9") << mac(25, 9, 9) << false << false;
        QTest::newRow("macOS 26.0.0") << mac(26, 0, 0) << true << false;
        QTest::newRow("macOS 26.4.1") << mac(26, 4, 1) << true << false;
        QTest::newRow("macOS 27.0.0") << mac(27, 0, 0) << true << true;
        QTest::newRow("macOS 28.1.0") << mac(28, 1, 0) << true << true;
    }

    void modeFollowsTheSystemVersion()
    {
        QFETCH(SystemVersion, version);
        QFETCH(bool, native);
        QFETCH(bool, interactivePassedOn);
        desktop.version = version;

        for (bool interactive : {true, false}) {
            std::unique_ptr<GlassPanel> panel(makePanel(std::nullopt, 18, interactive));
            QCOMPARE(panel->usesNativeGlass(), native);
            QCOMPARE(panel->nativeGlass() != nullptr, native);
            QCOMPARE(panel->fallbackGlass() != nullptr, !native);
            if (!native)
                continue;
            NativeGlassView* glass = panel->nativeGlass();
            QCOMPARE(glass->effectIsInteractive().has_value(), interactivePassedOn);
            if (interactivePassedOn)
                QCOMPARE(*glass->effectIsInteractive(), interactive);
            QCOMPARE(glass->cornerRadius(), 18.0);
            QCOMPARE(glass->style(), NativeGlassView::Style::Clear);
            QCOMPARE(glass->contentView(), panel->contentContainer());
        }
    }

    void nativeGlassGetsNoHandDrawnDressing()
    {
        desktop.version = mac(26, 1, 0);
        const AppearanceColor tint = SystemColor::label().withAlpha(0.05);
        std::unique_ptr<GlassPanel> panel(makePanel(tint));
        QCOMPARE(panel->borderWidth(), 0.0);
        QVERIFY(!panel->borderColor().isValid());
        QVERIFY(!panel->backgroundColor().isValid());
        QCOMPARE(panel->nativeGlass()->tintColor()->resolved(), tint.resolved());

        AppearanceSwitch::toDark();
        QVERIFY(!panel->borderColor().isValid());
        QVERIFY(!panel->backgroundColor().isValid());
    }

    void fallbackFillsWithTheTintOrTheSurface()
    {
        const AppearanceColor tint = SystemColor::windowBackground().withAlpha(0.52);
        std::unique_ptr<GlassPanel> tinted(makePanel(tint));
        std::unique_ptr<GlassPanel> plain(makePanel(std::nullopt));

        QCOMPARE(tinted->backgroundColor(), tint.resolved(Appearance::Light));
        QCOMPARE(plain->backgroundColor(), Palette::surfaceFill().resolved(Appearance::Light));
        for (GlassPanel* panel : {tinted.get(), plain.get()}) {
            QCOMPARE(panel->borderWidth(), 1.0);
            QCOMPARE(panel->borderColor(), Palette::glassStroke().resolved(Appearance::Light));
        }
    }

    void fallbackTakesTheDarkValuesAfterASwitch()
    {
        const AppearanceColor tint = SystemColor::windowBackground().withAlpha(0.52);
        std::unique_ptr<GlassPanel> tinted(makePanel(tint));
        std::unique_ptr<GlassPanel> plain(makePanel(std::nullopt));
        tinted->resize(120, 40);
        const QImage lightPixels = render(*tinted);

        AppearanceSwitch::toDark();
        QCOMPARE(tinted->backgroundColor(), tint.resolved(Appearance::Dark));
        QCOMPARE(plain->backgroundColor(), Palette::surfaceFill().resolved(Appearance::Dark));
        QCOMPARE(tinted->borderColor(), Palette::glassStroke().resolved(Appearance::Dark));
        QCOMPARE(plain->borderColor(), Palette::glassStroke().resolved(Appearance::Dark));
        // What is drawn changes too, not only the stored values.
        const QImage darkPixels = render(*tinted);
        QVERIFY(qGray(darkPixels.pixel(60, 20)) < qGray(lightPixels.pixel(60, 20)));

        AppearanceSwitch::toLight();
        QCOMPARE(tinted->backgroundColor(), tint.resolved(Appearance::Light));
    }

    void cornersAreRoundUnlessTheRadiusIsZero()
    {
        const AppearanceColor opaque(QColor(200, 0, 0), QColor(200, 0, 0));
        std::unique_ptr<GlassPanel> round(makePanel(opaque, 18));
        std::unique_ptr<GlassPanel> square(makePanel(opaque, 0));
        round->resize(100, 36);
        square->resize(100, 36);

        const QImage roundPixels = render(*round);
        QCOMPARE(qAlpha(roundPixels.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(roundPixels.pixel(99, 35)), 0);
        QCOMPARE(qAlpha(roundPixels.pixel(50, 18)), 255);

        // Square corners, with the 1-point stroke still drawn over the fill.
        const QImage squarePixels = render(*square);
        QCOMPARE(qAlpha(squarePixels.pixel(0, 0)), 255);
        QCOMPARE(qAlpha(squarePixels.pixel(99, 35)), 255);
        QVERIFY(squarePixels.pixel(0, 18) != squarePixels.pixel(50, 18));
    }

    void contentFillsThePanelAndIsClippedToItsCorners()
    {
        std::unique_ptr<GlassPanel> panel(makePanel(std::nullopt, 18));
        panel->show();
        for (QSize size : {QSize(200, 36), QSize(80, 120), QSize(300, 52)}) {
            panel->resize(size);
            QCOMPARE(panel->backingView()->geometry(), QRect(QPoint(), size));
            QCOMPARE(panel->contentContainer()->size(), size);
            QCOMPARE(panel->contentContainer()->mapTo(panel.get(), QPoint()), QPoint());
        }
        QVERIFY(!panel->contentContainer()->mask().contains(QPoint(0, 0)));
        QVERIFY(panel->contentContainer()->mask().contains(QPoint(150, 26)));

        std::unique_ptr<GlassPanel> square(makePanel(std::nullopt, 0));
        square->resize(100, 100);
        square->show();
        QVERIFY(square->contentContainer()->mask().isEmpty());

        desktop.version = mac(26, 0, 0);
        std::unique_ptr<GlassPanel> native(makePanel(std::nullopt, 18));
        native->resize(140, 44);
        native->show();
        QCOMPARE(native->backingView()->geometry(), QRect(0, 0, 140, 44));
        QCOMPARE(native->contentContainer()->size(), QSize(140, 44));
    }
};

QTEST_MAIN(GlassPanelTest)
#include "GlassPanelTest.moc"
