// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/AppearanceSwitch.h"

#include "ui/Palette.h"

#include <QTest>

#include <thread>

namespace {
using Accessor = const AppearanceColor& (*)();
const Accessor allColours[] = {Palette::accent,       Palette::textPrimary, Palette::textSecondary,
                               Palette::textTertiary, Palette::glassStroke, Palette::surfaceFill,
                               Palette::overlayScrim};
} // namespace

class PaletteTest : public QObject {
    Q_OBJECT

private slots:
    void firstUseFromTwoThreadsMakesOneColourThatEveryReadReturns()
    {
        // Runs before any other case touches the colours.
        const AppearanceColor* seen[2][7] = {};
        std::thread first([&seen] {
            for (int i = 0; i < 7; ++i)
                seen[0][i] = &allColours[i]();
        });
        for (int i = 0; i < 7; ++i)
            seen[1][i] = &allColours[i]();
        first.join();
        for (int i = 0; i < 7; ++i)
            QVERIFY(seen[0][i] == seen[1][i] && &allColours[i]() == seen[0][i]);
    }

    void storedColoursTakeTheirDarkValuesAfterASwitch()
    {
        AppearanceSwitch::toDark();
        for (int i = 0; i < 7; ++i) {
            const AppearanceColor& colour = allColours[i]();
            QCOMPARE(colour.resolved(), colour.resolved(Appearance::Dark));
            // Black stays black; every other colour has a dark value of its own.
            QCOMPARE(colour.resolved(Appearance::Light) == colour.resolved(), i == 6);
        }
        for (Appearance appearance : {Appearance::Light, Appearance::Dark}) {
            QCOMPARE(qRound(Palette::glassStroke().resolved(appearance).alphaF() * 100), 45);
            QCOMPARE(qRound(Palette::surfaceFill().resolved(appearance).alphaF() * 100), 38);
            QCOMPARE(Palette::overlayScrim().resolved(appearance).rgba(),
                     qRgba(0, 0, 0, qRound(0.32 * 255)));
        }
    }
};

QTEST_MAIN(PaletteTest)
#include "PaletteTest.moc"
