#include "OffscreenScreens.h"
#include "PillState.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

// What a click on "Lock keyboard" does in every situation, and how the lock ends.
class LockFlowTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess* m_keyboard = nullptr;
    platform::FakeDesktop* m_desktop = nullptr;
    std::unique_ptr<MainWindowController> m_controller;

    void clickLock() { QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton); }

    static GlassButton* unlockButtonOf(OverlayWindow* overlay)
    {
        return overlay->findChild<GlassButton*>(QStringLiteral("unlockButton"));
    }

    void verifyUnlocked()
    {
        QVERIFY(!m_controller->blocker().isActive());
        QVERIFY(!m_keyboard->hasLiveTap());
        QVERIFY(m_controller->overlays().isEmpty());
    }

private slots:
    void init()
    {
        m_keyboard = new platform::FakeKeyboardAccess;
        m_desktop = new platform::FakeDesktop;
        platform::overrideForTesting(m_keyboard, m_desktop);
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::overrideForTesting(nullptr, nullptr);
        delete m_keyboard;
        delete m_desktop;
    }

    // Without keyboard access

    void theFirstPressWithoutAccessAsksTheSystemOnce()
    {
        m_keyboard->trusted = false;
        clickLock();
        QCOMPARE(pillState(m_controller->permissionStatus()), kWaiting);
        QVERIFY(m_controller->permissionRequestInFlight());
        QCOMPARE(m_keyboard->count("promptForTrust"), 1);
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 0);
        QCOMPARE(m_keyboard->count("createTap"), 0);
        verifyUnlocked();
    }

    void theSecondPressWithoutAccessOpensTheSettingsInstead()
    {
        m_keyboard->trusted = false;
        clickLock();
        clickLock();
        QCOMPARE(pillState(m_controller->permissionStatus()), kWaiting);
        QCOMPARE(m_keyboard->count("promptForTrust"), 1);
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 1);
        clickLock();
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 2);
        QCOMPARE(m_keyboard->count("createTap"), 0);
        verifyUnlocked();
    }

    // With access, but the tap refused

    void aRefusedTapWithListenAccessOpensTheSettings()
    {
        m_keyboard->refuseTap = true;
        m_keyboard->listenAccess = true;
        clickLock();
        QCOMPARE(pillState(m_controller->permissionStatus()), kStillNeedsApproval);
        QVERIFY(!m_controller->permissionRequestInFlight());
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 1);
        QCOMPARE(m_keyboard->count("requestListenAccess"), 0);
        verifyUnlocked();
    }

    void aRefusedTapWithoutListenAccessRequestsIt()
    {
        m_keyboard->refuseTap = true;
        m_keyboard->listenAccess = false;
        clickLock();
        QCOMPARE(pillState(m_controller->permissionStatus()), kStillNeedsApproval);
        QCOMPARE(m_keyboard->count("requestListenAccess"), 1);
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 0);
        verifyUnlocked();
    }

    void aRefusedTapClearsAPendingRequest()
    {
        m_keyboard->trusted = false;
        clickLock();
        QVERIFY(m_controller->permissionRequestInFlight());
        m_keyboard->trusted = true;
        m_keyboard->refuseTap = true;
        clickLock();
        QVERIFY(!m_controller->permissionRequestInFlight());
        QCOMPARE(pillState(m_controller->permissionStatus()), kStillNeedsApproval);
    }

    // Locking

    void lockingBlocksKeysAndCoversEveryScreenInOrder()
    {
        // Keys are blocked before the first overlay exists: overlays take far longer.
        QList<bool> tapLiveWhenPlaced;
        m_desktop->onPlaceAbove = [&](QWindow&) {
            tapLiveWhenPlaced.append(m_keyboard->isTapEnabled());
        };
        clickLock();
        QCOMPARE(tapLiveWhenPlaced, (QList<bool>{true, true}));
        QVERIFY(m_controller->blocker().isActive());
        QVERIFY(m_keyboard->isTapEnabled());

        const QList<QScreen*> screens = QGuiApplication::screens();
        const QList<OverlayWindow*> overlays = m_controller->overlays();
        QCOMPARE(overlays.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(overlays[i]->screen(), screens[i]);
            QCOMPARE(overlays[i]->geometry(), screens[i]->geometry());
            QVERIFY(overlays[i]->isVisible());
            QVERIFY(m_desktop->windowsPlacedAbove.contains(overlays[i]->windowHandle()));
        }
        QVERIFY(overlays[0]->isPrimaryDisplay());
        QVERIFY(!overlays[1]->isPrimaryDisplay());
        // Only the primary overlay is made key.
        QCOMPARE(m_desktop->keyWindows, QList<QWindow*>{overlays[0]->windowHandle()});
        // The main window stays where it was, beneath.
        QVERIFY(m_controller->window()->isVisible());
    }

    void lockingOneScreenMakesItsOverlayKey()
    {
        QScreen* primary = QGuiApplication::primaryScreen();
        m_controller->setScreensForTesting([primary] { return QList<QScreen*>{primary}; });
        clickLock();
        QCOMPARE(m_controller->overlays().size(), 1);
        OverlayWindow* overlay = m_controller->overlays().first();
        QVERIFY(overlay->isPrimaryDisplay());
        QVERIFY(unlockButtonOf(overlay));
        QCOMPARE(m_desktop->keyWindows, QList<QWindow*>{overlay->windowHandle()});
    }

    void screensWithoutThePrimaryStillGetAnUnlockButton()
    {
        QScreen* secondary = QGuiApplication::screens().at(1);
        m_controller->setScreensForTesting([secondary] { return QList<QScreen*>{secondary}; });
        clickLock();
        QCOMPARE(m_controller->overlays().size(), 1);
        OverlayWindow* overlay = m_controller->overlays().first();
        QVERIFY(overlay->isPrimaryDisplay());
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

    // Unlocking

    void theUnlockButtonEndsTheLockAndItsOverlayOutlivesTheClick()
    {
        clickLock();
        const QList<OverlayWindow*> overlays = m_controller->overlays();
        QPointer<OverlayWindow> primary = overlays[0];
        QPointer<OverlayWindow> secondary = overlays[1];
        GlassButton* unlock = unlockButtonOf(primary);
        QVERIFY(unlock);
        QVERIFY(!unlockButtonOf(secondary));

        QTest::mouseClick(unlock->button(), Qt::LeftButton);
        verifyUnlocked();
        QVERIFY(m_keyboard->count("removeFromMainLoop") >= 1);
        // Hidden at once, deleted only once the click's handling has returned.
        QVERIFY(primary && secondary);
        QVERIFY(!primary->isVisible() && !secondary->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!primary && !secondary);
        QVERIFY(m_controller->window()->isVisible());

        // And the next click locks again.
        clickLock();
        QVERIFY(m_controller->blocker().isActive());
        QCOMPARE(m_controller->overlays().size(), 2);
    }

    void aPressWhileLockedUnlocksInsteadOfLockingAgain()
    {
        clickLock();
        QCOMPARE(m_keyboard->count("createTap"), 1);
        clickLock();
        verifyUnlocked();
        QCOMPARE(m_keyboard->count("createTap"), 1);
    }

    // Callbacks that outlive the controller

    void callbacksDoNothingOnceTheControllerIsGone()
    {
        const std::function<void()> lockAction = m_controller->lockButton()->onClick;
        clickLock();
        const std::function<void()> unlockAction =
            unlockButtonOf(m_controller->overlays().first())->onClick;
        QVERIFY(lockAction && unlockAction);

        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const std::size_t calls = m_keyboard->calls.size();
        lockAction();
        unlockAction();
        QCOMPARE(m_keyboard->calls.size(), calls);
        QCOMPARE(m_keyboard->count("createTap"), 1);
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(LockFlowTest)
#include "LockFlowTest.moc"
