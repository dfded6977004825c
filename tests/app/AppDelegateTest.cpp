#include "ScriptedAlerts.h"
#include "app/AppDelegate.h"
#include "app/MoveOffer.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace platform;

// Runs on an X server of its own: activation and focus are the real ones.
class AppDelegateTest : public QObject {
    Q_OBJECT

private:
    FakeKeyboardAccess* access = nullptr;
    FakeDesktop* desktop = nullptr;
    int controllersMade = 0;
    std::function<void()> heldCompletion;

    // A window whose controls would take the focus if nothing stopped them: the button
    // even asks for it while the window is built.
    AppDelegate::ControllerFactory windowWithControls()
    {
        return [this] {
            ++controllersMade;
            auto window = std::make_unique<QWidget>();
            auto* layout = new QVBoxLayout(window.get());
            auto* button = new QPushButton(QStringLiteral("Lock keyboard"));
            button->setFocusPolicy(Qt::StrongFocus);
            layout->addWidget(button);
            layout->addWidget(new QLineEdit);
            button->setFocus();
            window->resize(300, 200);
            return std::make_unique<MainWindowController>(std::move(window));
        };
    }
    AppDelegate::MoveOfferRunner offerThatGoesOn()
    {
        return [](const std::function<void()>& completion) {
            completion();
        };
    }
    AppDelegate::MoveOfferRunner offerThatHoldsTheCompletion()
    {
        return [this](const std::function<void()>& completion) {
            heldCompletion = completion;
        };
    }

private slots:
    void init()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs its Xvfb");
        access = new FakeKeyboardAccess;
        desktop = new FakeDesktop;
        overrideForTesting(access, desktop);
        controllersMade = 0;
        heldCompletion = nullptr;
    }
    void cleanup()
    {
        overrideForTesting(nullptr, nullptr);
        delete access;
        delete desktop;
    }

    void mainWindowIsShownActiveWithNoControlFocused()
    {
        AppDelegate delegate(offerThatGoesOn(), windowWithControls());
        delegate.applicationDidFinishLaunching();
        QCOMPARE(controllersMade, 1);
        QWidget* window = delegate.mainWindowController()->window();
        QVERIFY(window->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::activeWindow(), window);
        QCOMPARE(QApplication::focusWidget(), window);
        // Still so once the window system has settled.
        QTest::qWait(100);
        QCOMPARE(QApplication::focusWidget(), window);
    }

    void realMainWindowStartsWithNoControlFocused()
    {
        AppDelegate delegate(offerThatGoesOn(),
                             [] { return std::make_unique<MainWindowController>(); });
        delegate.applicationDidFinishLaunching();
        QWidget* window = delegate.mainWindowController()->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::qWait(100);
        QCOMPARE(QApplication::focusWidget(), window);
        QVERIFY(!delegate.mainWindowController()->lockButton()->hasFocus());
    }

    void secondShowReusesTheWindow()
    {
        AppDelegate delegate(offerThatHoldsTheCompletion(), windowWithControls());
        delegate.applicationDidFinishLaunching();
        heldCompletion();
        MainWindowController* first = delegate.mainWindowController();
        QWidget* window = first->window();
        window->hide();
        heldCompletion();
        QCOMPARE(controllersMade, 1);
        QCOMPARE(delegate.mainWindowController(), first);
        QVERIFY(window->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget(), window);
    }

    void completionAfterTheDelegateIsGoneDoesNothing()
    {
        auto delegate =
            std::make_unique<AppDelegate>(offerThatHoldsTheCompletion(), windowWithControls());
        delegate->applicationDidFinishLaunching();
        delegate.reset();
        heldCompletion();
        QCOMPARE(controllersMade, 0);
    }

    void controllerWithoutAWindowIsKeptAndNothingShown()
    {
        AppDelegate delegate(offerThatGoesOn(), [this] {
            ++controllersMade;
            return std::make_unique<MainWindowController>(nullptr);
        });
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.mainWindowController());
        QVERIFY(delegate.mainWindowController()->window() == nullptr);
    }

    // After a successful move the application ends: no main window is ever made.
    void successfulMoveMakesNoMainWindow()
    {
        QTemporaryDir temp;
        const QString executable = temp.filePath("Downloads/Tavimo.app/Contents/MacOS/tavimo");
        QVERIFY(QDir().mkpath(QFileInfo(executable).absolutePath()));
        QVERIFY(QDir().mkpath(temp.filePath("Applications")));
        QFile program(executable);
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.close();

        ScriptedAlerts alerts;
        alerts.answers = {0, 0};
        int terminations = 0;
        AppDelegate delegate(
            [&](const std::function<void()>& completion) {
                MoveOffer::Surroundings surroundings;
                surroundings.applicationsFolder = temp.filePath("Applications");
                surroundings.executablePath = executable;
                surroundings.alerts = &alerts;
                surroundings.terminate = [&] {
                    ++terminations;
                };
                MoveOffer(surroundings).run(completion);
            },
            windowWithControls());
        delegate.applicationDidFinishLaunching();
        QCOMPARE(terminations, 1);
        QCOMPARE(controllersMade, 0);
        QVERIFY(delegate.mainWindowController() == nullptr);
        QVERIFY(QFileInfo::exists(temp.filePath("Applications/Tavimo.app/Contents/MacOS/tavimo")));
    }

    // The real main window: locking and unlocking come and go with overlays, and only
    // closing the main window ends the event loop, with status 0.
    void onlyClosingTheMainWindowQuits()
    {
        AppDelegate delegate(offerThatGoesOn(),
                             [] { return std::make_unique<MainWindowController>(); });
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
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(15000);

        const int status = QApplication::exec();
        QVERIFY(lockedWithOverlays);
        QVERIFY2(runningAfterUnlock, "unlocking ended the application");
        QCOMPARE(status, 0);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
