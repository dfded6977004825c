#include "AppearanceSwitch.h"

#include "ui/AppearanceColor.h"
#include "ui/Palette.h"
#include "ui/SystemColor.h"

#include <QApplication>
#include <QTest>

#include <thread>

namespace {
using Accessor = const AppearanceColor& (*)();

struct Named {
    const char* name;
    Accessor accessor;
};

const Named allColours[] = {
    {"accent", Palette::accent},
    {"textPrimary", Palette::textPrimary},
    {"textSecondary", Palette::textSecondary},
    {"textTertiary", Palette::textTertiary},
    {"glassStroke", Palette::glassStroke},
    {"surfaceFill", Palette::surfaceFill},
    {"overlayScrim", Palette::overlayScrim},
};
} // namespace

class PaletteTest : public QObject {
    Q_OBJECT

private slots:
    void init() { AppearanceSwitch::toLight(); }

    void firstUseFromTwoThreadsMakesOneColour()
    {
        // Run before any other case touches the slots.
        const AppearanceColor* seen[2][7] = {};
        auto readAll = [&seen](int thread) {
            for (int i = 0; i < 7; ++i)
                seen[thread][i] = &allColours[i].accessor();
        };
        std::thread first(readAll, 0);
        std::thread second(readAll, 1);
        first.join();
        second.join();
        for (int i = 0; i < 7; ++i)
            QCOMPARE(seen[0][i], seen[1][i]);
    }

    void everyReadReturnsTheSameObject()
    {
        for (const Named& colour : allColours)
            QVERIFY2(&colour.accessor() == &colour.accessor(), colour.name);
    }

    void fixedOpacitiesHoldInBothAppearances()
    {
        for (Appearance appearance : {Appearance::Light, Appearance::Dark}) {
            QCOMPARE(qRound(Palette::glassStroke().resolved(appearance).alphaF() * 100), 45);
            QCOMPARE(qRound(Palette::surfaceFill().resolved(appearance).alphaF() * 100), 38);
            QCOMPARE(qRound(Palette::overlayScrim().resolved(appearance).alphaF() * 100), 32);
            // The others keep the opacity of their system colour.
            QCOMPARE(Palette::textSecondary().resolved(appearance).alpha(),
                     SystemColor::secondaryLabel().resolved(appearance).alpha());
            QCOMPARE(Palette::accent().resolved(appearance).alpha(), 255);
        }
    }

    void storedColoursFollowASwitchToDark()
    {
        const AppearanceColor& stored = Palette::textPrimary();
        QCOMPARE(currentAppearance(), Appearance::Light);
        const QColor light = stored.resolved();

        AppearanceSwitch::toDark();
        QCOMPARE(currentAppearance(), Appearance::Dark);
        QVERIFY(stored.resolved() != light);
        for (const Named& colour : allColours) {
            QCOMPARE(colour.accessor().resolved(), colour.accessor().resolved(Appearance::Dark));
            if (colour.accessor == Palette::overlayScrim)
                continue;
            QVERIFY2(colour.accessor().resolved(Appearance::Light) !=
                         colour.accessor().resolved(Appearance::Dark),
                     colour.name);
        }
        QCOMPARE(Palette::overlayScrim().resolved(Appearance::Light),
                 Palette::overlayScrim().resolved(Appearance::Dark));
        QCOMPARE(Palette::overlayScrim().resolved().rgba(), qRgba(0, 0, 0, qRound(0.32 * 255)));
    }
};

QTEST_MAIN(PaletteTest)
#include "PaletteTest.moc"
