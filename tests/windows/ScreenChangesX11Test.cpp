// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Platform.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "platform/linux/LinuxDesktop.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QtTest>

// Monitors defined and taken away with xrandr while the keyboard is locked, on the
// two-monitor Xvfb: each new monitor gets an overlay, a monitor's overlay goes with it,
// and the unlock button moves when the primary monitor goes.
class ScreenChangesX11Test : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess m_keyboard;
    platform::LinuxDesktop m_desktop;

    static int xrandr(const QStringList& arguments)
    {
        return QProcess::execute(QStringLiteral("xrandr"), arguments);
    }

    static QScreen* screenNamed(const QString& name)
    {
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->name() == name)
                return screen;
        return nullptr;
    }

    // The shown overlays' screens, with a "*" before the one that carries the button.
    static QStringList covered(const MainWindowController& controller)
    {
        QStringList names;
        for (const OverlayWindow* overlay : controller.overlays()) {
            if (!overlay->isVisible() || !overlay->coveredScreen() ||
                overlay->geometry() != overlay->coveredScreen()->geometry())
                continue;
            const bool button = overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
            names.append((button ? QStringLiteral("*") : QString()) +
                         overlay->coveredScreen()->name());
        }
        names.sort();
        return names;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QCOMPARE(QGuiApplication::screens().size(), 2);
        platform::overrideForTesting(&m_keyboard, &m_desktop);
    }

    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }

    // Every screen Qt lists, with the button on the named one. Taking a monitor away
    // can bring up another: the X server's output uncovered by any monitor is one too.
    static QStringList everyScreenWithTheButtonOn(const QString& buttonScreen)
    {
        QStringList names;
        for (const QScreen* screen : QGuiApplication::screens())
            names.append((screen->name() == buttonScreen ? QStringLiteral("*") : QString()) +
                         screen->name());
        names.sort();
        return names;
    }

    void overlaysFollowMonitorsAndTheButtonStaysOnOne()
    {
        MainWindowController controller;
        controller.lockButtonClicked();
        QCOMPARE(covered(controller), (QStringList{"*LEFT", "RIGHT"}));

        QCOMPARE(xrandr({"--setmonitor", "THIRD", "640/169x480/127+2000+0", "none"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(covered(controller), (QStringList{"*LEFT", "RIGHT", "THIRD"}),
                                  5000);

        // The primary goes: the overlay of the monitor that is primary now takes the button.
        QCOMPARE(xrandr({"--delmonitor", "LEFT"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!screenNamed(QStringLiteral("LEFT")), 5000);
        const QString heir = QGuiApplication::primaryScreen()->name();
        QVERIFY(heir == QLatin1String("RIGHT") || heir == QLatin1String("THIRD"));
        QTRY_COMPARE_WITH_TIMEOUT(covered(controller), everyScreenWithTheButtonOn(heir), 5000);

        // A plain monitor goes and one comes back: the button stays where it is.
        const QString plain = heir == QLatin1String("RIGHT") ? "THIRD" : "RIGHT";
        QCOMPARE(xrandr({"--delmonitor", plain}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!screenNamed(plain), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(covered(controller), everyScreenWithTheButtonOn(heir), 5000);
        QCOMPARE(xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "none"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(screenNamed(QStringLiteral("LEFT")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(covered(controller), everyScreenWithTheButtonOn(heir), 5000);
        QCOMPARE(controller.overlays().size(), QGuiApplication::screens().size());

        controller.unlock();
        QVERIFY(controller.overlays().isEmpty());
        // Unlocked, screen changes are none of the lock's business.
        QCOMPARE(xrandr({"--setmonitor", "FOURTH", "640/169x480/127+2000+0", "none"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(screenNamed(QStringLiteral("FOURTH")), 5000);
        QVERIFY(controller.overlays().isEmpty());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ScreenChangesX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "ScreenChangesX11Test.moc"
