#include "WindowsTestSupport.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QScreen>

class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// The controller's life, the permission monitor behind the status capsule, and what a
// click on "Lock keyboard" does in every situation.
class LockFlowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<MainWindowController> m_controller;

    platform::FakeKeyboardAccess& keyboard() { return m_fake->keyboard; }
    platform::FakeDesktop& desktop() { return m_fake->desktop; }
    PillState capsule() const { return pillState(m_controller->permissionStatus()); }
    void clickLock() { QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton); }
    static GlassButton* unlockButtonOf(OverlayWindow* overlay)
    {
        return overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
    }
    void build(bool trusted)
    {
        keyboard().trusted = trusted;
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }
    void verifyUnlocked()
    {
        QVERIFY(!m_controller->blocker().isActive());
        QVERIFY(!keyboard().hasLiveTap());
        QVERIFY(m_controller->overlays().isEmpty());
    }

private slots:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        build(true);
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_fake.reset();
    }

    // The controller and the permission monitor

    void aControllerGivenAWindowStartsBlankAndBuildsNothing()
    {
        auto window = std::make_unique<QWidget>();
        QWidget* raw = window.get();
        MainWindowController controller(std::move(window));
        QCOMPARE(controller.window(), raw);
        QVERIFY(!controller.blocker().isActive() && !controller.blocker().hasEventTap());
        QVERIFY(controller.overlays().isEmpty());
        QVERIFY(!controller.lockButton() && !controller.permissionStatus());
        QVERIFY(!controller.permissionPollTimer() && !controller.permissionRequestInFlight());
        QVERIFY(raw->children().isEmpty());
        QVERIFY(!MainWindowController(nullptr).window());
    }

    void thePollRunsTwiceASecondAndStopsWithTheController()
    {
        QPointer<QTimer> timer = m_controller->permissionPollTimer();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 500);
        m_controller.reset();
        QVERIFY(!timer);
        const int afterTeardown = keyboard().count("isProcessTrusted");
        QTest::qWait(700);
        QCOMPARE(keyboard().count("isProcessTrusted"), afterTeardown);
    }

    void theCapsuleFollowsAccessAndAPendingRequest()
    {
        QCOMPARE(capsule(), kGranted);
        build(false);
        QCOMPARE(capsule(), kRequired);
        // The lock button looks the same, and works, whatever the capsule says.
        GlassButton* button = m_controller->lockButton();
        const QImage look = button->grab().toImage();
        const auto verifyButtonUnchanged = [&] {
            QVERIFY(button->isEnabled());
            QCOMPARE(button->grab().toImage(), look);
        };

        keyboard().trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
        // Revoked access is "required", not "waiting": nobody asked for it.
        keyboard().trusted = false;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kRequired, 650);

        m_controller->lockButtonClicked();
        QCOMPARE(capsule(), kWaiting);
        QVERIFY(m_controller->permissionRequestInFlight());
        QTest::qWait(1100); // two ticks: waiting holds for as long as access is missing
        QCOMPARE(capsule(), kWaiting);
        verifyButtonUnchanged();

        keyboard().trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
        QVERIFY(!m_controller->permissionRequestInFlight());
        verifyButtonUnchanged();

        // A refused tap is shown until the next tick.
        keyboard().refuseTap = true;
        m_controller->lockButtonClicked();
        QCOMPARE(capsule(), kStillNeedsApproval);
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
    }

    void anUnchangedStateCostsTheCapsuleNoRepaint()
    {
        QTest::qWait(100);
        PaintCounter paints;
        m_controller->permissionStatus()->installEventFilter(&paints);
        QTest::qWait(1100); // two ticks, nothing changed
        QCOMPARE(paints.count, 0);
        keyboard().trusted = false;
        QTRY_VERIFY_WITH_TIMEOUT(paints.count > 0, 700);
    }

    // Pressing "Lock keyboard" without keyboard access, or with the tap refused

    void withoutAccessTheFirstPressAsksAndLaterOnesOpenTheSettings()
    {
        keyboard().trusted = false;
        clickLock();
        QCOMPARE(capsule(), kWaiting);
        QVERIFY(m_controller->permissionRequestInFlight());
        QCOMPARE(keyboard().count("promptForTrust"), 1);
        QCOMPARE(desktop().keyboardAccessSettingsOpened, 0);

        clickLock();
        clickLock();
        QCOMPARE(keyboard().count("promptForTrust"), 1);
        QCOMPARE(desktop().keyboardAccessSettingsOpened, 2);
        QVERIFY(desktop().openedUrls.isEmpty());
        QCOMPARE(capsule(), kWaiting);
        QCOMPARE(keyboard().count("createTap"), 0);
        verifyUnlocked();
    }

    void aRefusedTapClearsTheRequestAndLeadsToAccess_data()
    {
        QTest::addColumn<bool>("listenAccess");
        QTest::newRow("with listen access: the settings") << true;
        QTest::newRow("without: listen access is requested") << false;
    }

    void aRefusedTapClearsTheRequestAndLeadsToAccess()
    {
        QFETCH(bool, listenAccess);
        keyboard().trusted = false;
        clickLock(); // a request in flight
        keyboard().trusted = true;
        keyboard().refuseTap = true;
        keyboard().listenAccess = listenAccess;
        clickLock();
        QCOMPARE(capsule(), kStillNeedsApproval);
        QVERIFY(!m_controller->permissionRequestInFlight());
        QCOMPARE(desktop().keyboardAccessSettingsOpened, listenAccess ? 1 : 0);
        QCOMPARE(keyboard().count("requestListenAccess"), listenAccess ? 0 : 1);
        verifyUnlocked();
    }

    // Locking and unlocking

    void lockingBlocksKeysAndCoversEveryScreenInOrder()
    {
        // Keys are blocked before the first overlay exists: overlays take far longer.
        QList<bool> tapLiveWhenPlaced;
        desktop().onPlaceAbove = [&](QWindow&) {
            tapLiveWhenPlaced.append(keyboard().isTapEnabled());
        };
        clickLock();
        QCOMPARE(tapLiveWhenPlaced, (QList<bool>{true, true}));
        QVERIFY(m_controller->blocker().isActive());

        const QList<QScreen*> screens = QGuiApplication::screens();
        const QList<OverlayWindow*> overlays = m_controller->overlays();
        QCOMPARE(overlays.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(overlays[i]->screen(), screens[i]);
            QCOMPARE(overlays[i]->geometry(), screens[i]->geometry());
            QVERIFY(overlays[i]->isVisible());
            QCOMPARE(overlays[i]->isPrimaryDisplay(), i == 0);
        }
        // Only the primary overlay is made key; the main window stays beneath.
        QCOMPARE(desktop().keyWindows, QList<QWindow*>{overlays[0]->windowHandle()});
        QVERIFY(m_controller->window()->isVisible());
    }

    void theOnlyScreenLockedGetsTheUnlockButton_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("primary") << 0;
        QTest::newRow("secondary") << 1;
    }

    void theOnlyScreenLockedGetsTheUnlockButton()
    {
        QFETCH(int, screen);
        QScreen* only = QGuiApplication::screens().at(screen);
        m_controller->setScreensForTesting([only] { return QList<QScreen*>{only}; });
        clickLock();
        QCOMPARE(m_controller->overlays().size(), 1);
        OverlayWindow* overlay = m_controller->overlays().first();
        QCOMPARE(overlay->screen(), only);
        QVERIFY(overlay->isPrimaryDisplay());
        QCOMPARE(desktop().keyWindows, QList<QWindow*>{overlay->windowHandle()});
        QVERIFY(unlockButtonOf(overlay));
        QMetaObject::invokeMethod(unlockButtonOf(overlay)->button(), "click");
        verifyUnlocked();
    }

    void lockingWithNoScreensStillBlocksAndTheNextPressUnlocks()
    {
        m_controller->setScreensForTesting([] { return QList<QScreen*>{}; });
        clickLock();
        QVERIFY(m_controller->blocker().isActive());
        QVERIFY(m_controller->overlays().isEmpty());
        clickLock();
        verifyUnlocked();
    }

    void theUnlockButtonOrAnotherPressEndsTheLockAndTheOverlayOutlivesTheClick()
    {
        clickLock();
        QPointer<OverlayWindow> primary = m_controller->overlays().at(0);
        QPointer<OverlayWindow> secondary = m_controller->overlays().at(1);
        QVERIFY(unlockButtonOf(primary) && !unlockButtonOf(secondary));

        QTest::mouseClick(unlockButtonOf(primary)->button(), Qt::LeftButton);
        verifyUnlocked();
        QVERIFY(keyboard().count("removeFromMainLoop") >= 1);
        // Hidden at once, deleted only once the click's handling has returned.
        QVERIFY(primary && secondary);
        QVERIFY(!primary->isVisible() && !secondary->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!primary && !secondary);
        QVERIFY(m_controller->window()->isVisible());

        clickLock(); // the next press locks again, and a press while locked unlocks
        QCOMPARE(m_controller->overlays().size(), 2);
        clickLock();
        verifyUnlocked();
        QCOMPARE(keyboard().count("createTap"), 2);
    }

    void aControllerGoneReleasesTheKeyboardAndIgnoresItsCallbacks()
    {
        const std::function<void()> lockAction = m_controller->lockButton()->onClick;
        clickLock();
        QPointer<OverlayWindow> overlay = m_controller->overlays().first();
        const std::function<void()> unlockAction = unlockButtonOf(overlay)->onClick;
        QVERIFY(lockAction && unlockAction);

        m_controller.reset();
        QVERIFY(!keyboard().hasLiveTap());
        QCOMPARE(keyboard().liveSourceCount(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!overlay);
        const std::size_t calls = keyboard().calls.size();
        lockAction();
        unlockAction();
        QCOMPARE(keyboard().calls.size(), calls);
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(LockFlowTest)
#include "LockFlowTest.moc"
