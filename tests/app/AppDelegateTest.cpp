// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "windows/MainWindowController.h"

#include <QApplication>
#include <QTest>

// Runs on an X server of its own: activation and focus are the real ones.
class AppDelegateTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess access;
    platform::FakeDesktop desktop;

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs its Xvfb");
        platform::overrideForTesting(&access, &desktop);
    }
    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }

    // No window before the offer goes on (after a successful move it never does: the
    // application ends); then the main window shown active with no control focused. A
    // second show brings back the one window rather than building another window, blocker
    // and timer; a completion after the delegate is gone does nothing.
    void theMainWindowComesOnceTheOfferGoesOnActiveAndOnlyOnce()
    {
        int controllersMade = 0;
        std::function<void()> completion;
        auto delegate = std::make_unique<AppDelegate>(
            [&](const std::function<void()>& goOn) { completion = goOn; },
            [&] {
                ++controllersMade;
                return std::make_unique<MainWindowController>();
            });
        delegate->applicationDidFinishLaunching();
        QCOMPARE(controllersMade, 0);
        completion();
        MainWindowController* first = delegate->mainWindowController();
        QVERIFY(QTest::qWaitForWindowActive(first->window()));
        QTest::qWait(100); // still so once the window system has settled
        QCOMPARE(QApplication::focusWidget(), first->window());

        first->window()->hide();
        completion();
        QCOMPARE(controllersMade, 1);
        QCOMPARE(delegate->mainWindowController(), first);
        QVERIFY(QTest::qWaitForWindowActive(first->window()));
        delegate.reset();
        completion();
        QCOMPARE(controllersMade, 1);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
