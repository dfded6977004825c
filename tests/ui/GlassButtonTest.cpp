#include "AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/Palette.h"
#include "ui/SystemColor.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <type_traits>

#include <memory>

// A half-made GlassButton cannot be written down: the mistake stops the build.
static_assert(!std::is_default_constructible_v<GlassButton>);
static_assert(!std::is_constructible_v<GlassButton, QWidget*>);
static_assert(std::is_constructible_v<FocusAwareButton, QWidget*>);
static_assert(std::is_default_constructible_v<FocusAwareButton>);

namespace {

QColor tintOf(const GlassButton& button)
{
    const auto& tint = button.button()->contentTint();
    return tint ? tint->resolved() : QColor();
}

const QColor white(255, 255, 255);

std::unique_ptr<QWidget> window(const QString& title, QPoint at)
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(title);
    window->setGeometry(QRect(at, QSize(320, 200)));
    return window;
}

std::unique_ptr<QWidget> shownWindow(const QString& title, QPoint at)
{
    auto shown = window(title, at);
    shown->show();
    return shown;
}

bool activate(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

class GlassButtonTest : public QObject {
    Q_OBJECT

    platform::FakeDesktop desktop;

private slots:
    void init()
    {
        platform::overrideForTesting(nullptr, &desktop);
        AppearanceSwitch::toLight();
    }
    void cleanup() { platform::overrideForTesting(nullptr, nullptr); }

    void clicksReachOnClickOncePerClick()
    {
        int clicks = 0;
        auto main = window("clicks", {0, 0});
        auto* focusHolder = new QLineEdit(main.get());
        focusHolder->setGeometry(20, 120, 100, 30);
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", main.get());
        glass->setGeometry(20, 20, 236, 52);
        QVERIFY(activate(*main));
        focusHolder->setFocus();

        // Without a callback a click does nothing, and nothing breaks.
        QTest::mouseClick(glass->button(), Qt::LeftButton);

        glass->onClick = [&clicks] {
            ++clicks;
        };
        QTest::mouseClick(glass->button(), Qt::LeftButton);
        QCOMPARE(clicks, 1);
        QTest::mouseClick(glass->button(), Qt::LeftButton);
        QCOMPARE(clicks, 2);
        // A press that is dragged off and released outside is no click.
        QTest::mousePress(glass->button(), Qt::LeftButton);
        QTest::mouseRelease(glass->button(), Qt::LeftButton, {}, QPoint(-40, -40));
        QCOMPARE(clicks, 2);
        // A mouse click does not take keyboard focus, so the glow stays at rest.
        QVERIFY(focusHolder->hasFocus());
        QCOMPARE(glass->shadowOpacity(), 0.2);
        // The keyboard clicks a focused button too.
        glass->button()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(glass->button(), Qt::Key_Space);
        QCOMPARE(clicks, 3);
        glass->onClick = nullptr;
    }

    void focusChangesReachTheCallbackAndTheGlow()
    {
        QList<bool> calls;
        auto main = window("focus", {0, 0});
        auto* other = new QLineEdit(main.get());
        other->setGeometry(20, 120, 100, 30);
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", main.get());
        glass->setGeometry(20, 20, 236, 52);
        QVERIFY(activate(*main));
        other->setFocus();

        auto forward = glass->button()->onFocusChange;
        glass->button()->onFocusChange = [&calls, forward](bool focused) {
            calls.append(focused);
            forward(focused);
        };

        glass->button()->setFocus(Qt::TabFocusReason);
        QCOMPARE(calls, QList<bool>{true});
        QCOMPARE(glass->shadowOpacity(), 0.28);
        glass->button()->setFocus(Qt::TabFocusReason);
        QCOMPARE(calls, QList<bool>{true});

        other->setFocus();
        QCOMPARE(calls, (QList<bool>{true, false}));
        QCOMPARE(glass->shadowOpacity(), 0.2);

        // Refused: a disabled button does not take focus, so nothing is reported.
        glass->button()->setEnabled(false);
        glass->button()->setFocus(Qt::TabFocusReason);
        QVERIFY(!glass->button()->hasFocus());
        QCOMPARE(calls, (QList<bool>{true, false}));
        QCOMPARE(glass->shadowOpacity(), 0.2);
    }

    void glowTakesTheAccentOfItsConstruction()
    {
        GlassButton lightMade("Lock keyboard", "lock.fill");
        QCOMPARE(lightMade.shadowColor(), Palette::accent().resolved(Appearance::Light));
        QCOMPARE(lightMade.shadowBlurRadius(), 14.0);
        QCOMPARE(lightMade.shadowOffset(), QPointF(0, 5));
        QCOMPARE(lightMade.shadowOpacity(), 0.2);

        AppearanceSwitch::toDark();
        QCOMPARE(lightMade.shadowColor(), Palette::accent().resolved(Appearance::Light));
        GlassButton darkMade("Unlock keyboard", "lock.open.fill");
        QCOMPARE(darkMade.shadowColor(), Palette::accent().resolved(Appearance::Dark));
    }

    void cornerRadiusIsHalfTheHeightWhileTheGlassKeepsItsOwn()
    {
        GlassButton glass("Lock keyboard", "lock.fill");
        glass.resize(236, 52);
        glass.show();
        QCOMPARE(glass.cornerRadius(), 26.0);
        QCOMPARE(glass.glass()->geometry(), QRect(0, 0, 236, 52));
        QCOMPARE(glass.button()->mapTo(&glass, QPoint()), QPoint());
        QCOMPARE(glass.button()->size(), QSize(236, 52));
        glass.resize(236, 40);
        QCOMPARE(glass.cornerRadius(), 20.0);
        QCOMPARE(glass.glass()->cornerRadius(), 26.0);
    }

    void unknownSymbolLeavesTheTitleAlone()
    {
        GlassButton glass("Lock keyboard", "no.such.symbol");
        QVERIFY(!glass.button()->hasSymbolImage());
        GlassButton known("Lock keyboard", "lock.fill");
        QVERIFY(known.button()->hasSymbolImage());
        QVERIFY(glass.button()->sizeHint().width() < known.button()->sizeHint().width());
        QCOMPARE(glass.button()->accessibleName(), QString("Lock keyboard"));
    }

    void tintFollowsTheActivationOfItsOwnWindowOnly()
    {
        // In no window at all: white.
        GlassButton loose("Lock keyboard", "lock.fill");
        loose.show();
        QCOMPARE(tintOf(loose), white);
        loose.hide();

        auto first = shownWindow("first", {0, 0});
        auto second = shownWindow("second", {400, 0});
        auto third = shownWindow("third", {800, 0});
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", first.get());
        glass->setGeometry(20, 20, 236, 52);
        glass->show();
        QCOMPARE(glass->observedWindow(), first.get());

        QVERIFY(activate(*first));
        QCOMPARE(tintOf(*glass), white);
        QVERIFY(activate(*second));
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        QVERIFY(activate(*first));
        QCOMPARE(tintOf(*glass), white);

        // Moved into the second window, which is not active now.
        glass->setParent(second.get());
        glass->show();
        QCOMPARE(glass->observedWindow(), second.get());
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        QVERIFY(activate(*third));
        QVERIFY(activate(*first));
        // The old window became active: that no longer concerns the button.
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved());
        QVERIFY(activate(*second));
        QCOMPARE(tintOf(*glass), white);

        // Moving out of every window leaves it white and observing nothing.
        glass->setParent(nullptr);
        QCOMPARE(glass->observedWindow(), nullptr);
        QCOMPARE(tintOf(*glass), white);
        delete glass;
        QVERIFY(activate(*first));
    }

    void inactiveTintFollowsTheAppearance()
    {
        auto first = shownWindow("first", {0, 0});
        auto second = shownWindow("second", {400, 0});
        auto* glass = new GlassButton("Lock keyboard", "lock.fill", first.get());
        glass->show();
        QVERIFY(activate(*second));
        AppearanceSwitch::toDark();
        QCOMPARE(tintOf(*glass), Palette::textSecondary().resolved(Appearance::Dark));
    }
};

QTEST_MAIN(GlassButtonTest)
#include "GlassButtonTest.moc"
