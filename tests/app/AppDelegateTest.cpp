#include "app/AppDelegate.h"
#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "windows/MainWindowController.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// Runs on an X server of its own: activation and focus are the real ones.
class AppDelegateTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess access;
    platform::FakeDesktop desktop;
    int controllersMade = 0;
    std::function<void()> heldCompletion;

    AppDelegate::ControllerFactory countedWindow()
    {
        return [this] {
            ++controllersMade;
            return std::make_unique<MainWindowController>();
        };
    }
    static void offerThatGoesOn(const std::function<void()>& completion) { completion(); }
    AppDelegate::MoveOfferRunner offerThatHoldsTheCompletion()
    {
        return [this](const std::function<void()>& completion) {
            heldCompletion = completion;
        };
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs its Xvfb");
        platform::overrideForTesting(&access, &desktop);
    }
    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }
    void init()
    {
        controllersMade = 0;
        heldCompletion = nullptr;
    }

    void mainWindowIsShownActiveWithNoControlFocused()
    {
        AppDelegate delegate(offerThatGoesOn, countedWindow());
        delegate.applicationDidFinishLaunching();
        QWidget* window = delegate.mainWindowController()->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // Still so once the window system has settled.
        QTest::qWait(100);
        QCOMPARE(QApplication::focusWidget(), window);
    }

    // No window before the offer goes on (after a successful move it never does: the
    // application ends). A second show brings back the one window rather than building
    // another window, blocker and timer; a completion after the delegate is gone does
    // nothing.
    void secondShowReusesTheWindowAndLateCompletionsAreHarmless()
    {
        auto delegate =
            std::make_unique<AppDelegate>(offerThatHoldsTheCompletion(), countedWindow());
        delegate->applicationDidFinishLaunching();
        QCOMPARE(controllersMade, 0);
        heldCompletion();
        MainWindowController* first = delegate->mainWindowController();
        first->window()->hide();
        heldCompletion();
        QCOMPARE(controllersMade, 1);
        QCOMPARE(delegate->mainWindowController(), first);
        QVERIFY(QTest::qWaitForWindowActive(first->window()));
        QCOMPARE(QApplication::focusWidget(), first->window());
        delegate.reset();
        heldCompletion();
        QCOMPARE(controllersMade, 1);
    }

    // Overlays come and go with locking; only closing the main window ends the event
    // loop, with status 0.
    void onlyClosingTheMainWindowQuits()
    {
        AppDelegate delegate(offerThatGoesOn, countedWindow());
        QApplication::setQuitOnLastWindowClosed(
            delegate.applicationShouldTerminateAfterLastWindowClosed());
        bool lockedWithOverlays = false;
        bool runningAfterUnlock = false;
        QTimer::singleShot(0, &delegate, [&] {
            delegate.applicationDidFinishLaunching();
            MainWindowController* controller = delegate.mainWindowController();
            controller->lockButtonClicked();
            lockedWithOverlays =
                controller->blocker().isActive() && !controller->overlays().isEmpty();
            QTimer::singleShot(300, controller, [&, controller] {
                controller->unlock();
                QTimer::singleShot(500, controller, [&, controller] {
                    runningAfterUnlock = true;
                    controller->window()->close();
                });
            });
        });
        // Ends a loop that would otherwise never stop, with a status the test rejects.
        QTimer::singleShot(15000, &delegate, [] { QCoreApplication::exit(99); });
        const int status = QApplication::exec();
        QVERIFY(lockedWithOverlays);
        QVERIFY2(runningAfterUnlock, "unlocking ended the application");
        QCOMPARE(status, 0);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
