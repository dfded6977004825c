// SPDX-License-Identifier: GPL-3.0-or-later

// The desktop portal's light/dark preference and animation switch, from a stand-in portal
// on a private session bus, with GNOME's schema missing (as in a sandbox).
#include "WindowsTestSupport.h"

#include "platform/DesktopPreferences.h"
#include "platform/linux/ReducedMotion.h"
#include "support/FakeDesktopPortalProcess.h"
#include "support/OutputRecorder.h"
#include "ui/AppearanceNotifier.h"
#include "windows/MainWindowController.h"

#include <QDBusVariant>
#include <QLabel>

namespace {

const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kGnome = QStringLiteral("org.gnome.desktop.interface");
const QString kAnimations = QStringLiteral("enable-animations");

// The mean lightness of what the widget draws, 0 (black) to 1 (white).
double drawnLightness(QWidget& widget)
{
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            sum += QColor(image.pixel(x, y)).lightnessF();
    return sum / (((image.height() + 1) / 2) * ((image.width() + 1) / 2));
}

} // namespace

class DesktopAppearanceTest : public QObject {
    Q_OBJECT

private:
    FakePlatform m_fake;
    FakeDesktopPortalProcess m_portal;

private slots:
    void initTestCase()
    {
        QVERIFY2(!platform::gnomeAnimationsEnabled(), "this test needs the GNOME schema missing");
        // Qt's portal theme (Qt 6.11) asks the portal, not yet started, a question of its
        // own at start and reports the failure: let that pass before any output is held
        // against Tavimo.
        QTest::qWait(500);
        const QString error =
            m_portal.start({kAppearance, kColorScheme, QStringLiteral("uint"), QStringLiteral("0"),
                            kGnome, kAnimations, QStringLiteral("bool"), QStringLiteral("false")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // Every open window changes together, the main window's drawn pixels and a plain Qt
    // window alike; a light wish on a light desktop, or none at all, hands Qt's own
    // palette back untouched.
    void aSwitchOfColourSchemeRecoloursEveryOpenWindow()
    {
        OutputRecorder output;
        const QPalette ofQt = QGuiApplication::palette();
        QCOMPARE(appearanceOf(ofQt), Appearance::Light);
        MainWindowController controller;
        QWidget& main = *controller.window();
        QLabel other(QStringLiteral("Another window of Tavimo"));
        other.setAutoFillBackground(true);
        other.resize(300, 100);
        main.show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        AppearanceNotifier::instance().followDesktop();
        QTRY_VERIFY(AppearanceNotifier::instance().hasHeardFromDesktop());
        QCOMPARE(QGuiApplication::palette(), ofQt);
        const double lightMain = drawnLightness(main);
        QCOMPARE_GT(lightMain, 0.6);

        // Qt 6.8 and later hand a new palette on to other windows one turn of the event
        // loop after the application's: each window is waited for.
        QVERIFY(m_portal.set(kAppearance, kColorScheme, 1u));
        QTRY_COMPARE(currentAppearance(), Appearance::Dark);
        QTRY_COMPARE_LT(drawnLightness(main), 0.35);
        QTRY_COMPARE_LT(drawnLightness(other), 0.35);

        QVERIFY(m_portal.set(kAppearance, kColorScheme, 2u));
        QTRY_COMPARE(currentAppearance(), Appearance::Light);
        QCOMPARE(QGuiApplication::palette(), ofQt);
        QTRY_COMPARE(drawnLightness(main), lightMain);

        QVERIFY(m_portal.set(kAppearance, kColorScheme, 1u));
        QTRY_COMPARE(currentAppearance(), Appearance::Dark);
        QVERIFY(m_portal.set(kAppearance, kColorScheme, 0u));
        QTRY_COMPARE(currentAppearance(), Appearance::Light);
        QCOMPARE(QGuiApplication::palette(), ofQt);
        QCOMPARE(output.recorded(), QString());
    }

    // Without the schema the portal's switch counts, and follows its changes.
    void thePortalsAnimationSwitchStandsInForAMissingSchema()
    {
        QTRY_VERIFY(platform::desktopPrefersReducedMotion());
        QVERIFY(m_portal.set(kGnome, kAnimations, true));
        QTRY_VERIFY(!platform::desktopPrefersReducedMotion());
    }

    // A portal from before ReadOne, started while Tavimo runs, is asked through Read; one
    // that does not know a setting takes back what the last one said. Light and dark come
    // from this code only before Qt 6.5; from then on Qt's own reader has them.
    void aPortalThatComesLaterIsAskedAgainThroughTheOldMethod()
    {
        QVERIFY(m_portal.set(kGnome, kAnimations, false));
        QTRY_VERIFY(platform::desktopPrefersReducedMotion());
        m_portal.stop();
        const QString error =
            m_portal.start({QStringLiteral("--version-1"), kAppearance, kColorScheme,
                            QStringLiteral("uint"), QStringLiteral("1")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        QTRY_COMPARE(currentAppearance(), Appearance::Dark);
#endif
        QTRY_VERIFY(!platform::desktopPrefersReducedMotion());
    }
};

QTEST_MAIN(DesktopAppearanceTest)
#include "DesktopAppearanceTest.moc"
