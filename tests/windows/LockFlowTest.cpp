// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/WindowsTestSupport.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/BreathingIcon.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QAccessible>
#include <QSequentialAnimationGroup>
#include <QElapsedTimer>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>

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
    // As the keyboard or a screen reader presses it: a pointer's click within the
    // double-click interval of a lock would be held back.
    void clickLock() { m_controller->lockButton()->button()->click(); }
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

    void theCapsuleFollowsAccessGrantedAndRevoked()
    {
        QCOMPARE(capsule(), kGranted);
        build(false);
        QCOMPARE(capsule(), kRequired);
        keyboard().trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
        // Revoked access is "required", not "waiting": nobody asked for it.
        keyboard().trusted = false;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kRequired, 650);
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
        QCOMPARE(keyboard().count("createTap"), 0);
        verifyUnlocked();
        QTest::qWait(1100); // two ticks: waiting holds for as long as access is missing
        QCOMPARE(capsule(), kWaiting);
        keyboard().trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
        QVERIFY(!m_controller->permissionRequestInFlight());
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
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650); // shown until the next tick
    }

    // Without a pointing device nobody could click "Unlock keyboard": nothing is locked,
    // nothing asked for, and the capsule says what is missing, before and after a click.
    void withoutAPointingDeviceNothingLocksAndTheCapsuleSaysWhy()
    {
        keyboard().pointingDevice = false;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kNoPointer, 650);
        clickLock();
        keyboard().trusted = false;
        clickLock();
        QCOMPARE(capsule(), kNoPointer);
        QCOMPARE(keyboard().count("createTap") + keyboard().count("promptForTrust"), 0);
        QCOMPARE(desktop().keyboardAccessSettingsOpened, 0);
        verifyUnlocked();
        keyboard().trusted = true;
        keyboard().pointingDevice = true;
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);

        // Unplugged between the last look and the click: the tap is refused for it.
        keyboard().refuseTap = true;
        keyboard().refusal = platform::TapRefusal::NoPointingDevice;
        clickLock();
        QCOMPARE(capsule(), kNoPointer);
        QCOMPARE(desktop().keyboardAccessSettingsOpened + keyboard().count("requestListenAccess"),
                 0);
        verifyUnlocked();
    }

    // Locking and unlocking

    void lockingBlocksKeysBeforeCoveringEveryScreenAndAnyUnlockUndoesIt()
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
        // Only the primary overlay is made key and has the button; the main window stays.
        QCOMPARE(desktop().keyWindows, QList<QWindow*>{overlays[0]->windowHandle()});
        QVERIFY(unlockButtonOf(overlays[0]) && !unlockButtonOf(overlays[1]));
        QVERIFY(m_controller->window()->isVisible());

        QPointer<OverlayWindow> primary = overlays[0];
        QPointer<OverlayWindow> secondary = overlays[1];
        // The second click of a double-click on "Lock keyboard" lands on the button that
        // appeared under the pointer: it must not unlock. A screen reader's press does,
        // at once.
        QWidget* unlock = unlockButtonOf(primary)->button();
        QTest::mouseDClick(unlock, Qt::LeftButton);
        QTest::mouseClick(unlock, Qt::LeftButton);
        // Nor on the lock button, where it lands while no overlay is up yet.
        QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton);
        QVERIFY(m_controller->blocker().isActive());
        QAccessibleInterface* pressable = QAccessible::queryAccessibleInterface(unlock);
        QVERIFY(pressable && pressable->actionInterface());
        pressable->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        verifyUnlocked();
        QVERIFY(keyboard().count("removeFromMainLoop") >= 1);
        // Hidden at once, deleted only once the click's handling has returned.
        QVERIFY(primary && secondary);
        QVERIFY(!primary->isVisible() && !secondary->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!primary && !secondary);

        // So does the keyboard at once, and the pointer past the double-click interval.
        clickLock();
        QTest::keyClick(unlockButtonOf(m_controller->overlays()[0])->button(), Qt::Key_Space);
        verifyUnlocked();
        QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton);
        QVERIFY(m_controller->blocker().isActive());
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        QTest::mouseClick(unlockButtonOf(m_controller->overlays()[0])->button(), Qt::LeftButton);
        verifyUnlocked();

        clickLock(); // the next press locks again, and a press while locked unlocks
        QCOMPARE(m_controller->overlays().size(), 2);
        clickLock();
        verifyUnlocked();
        QCOMPARE(keyboard().count("createTap"), 4);
    }

    void aLockThePlatformEndsTakesTheOverlaysAwayAndTheCapsuleSaysSo()
    {
        clickLock();
        const QList<OverlayWindow*> overlays = m_controller->overlays();
        QCOMPARE(overlays.size(), 2);
        keyboard().endLiveTapByPlatform();
        verifyUnlocked();
        QCOMPARE(keyboard().liveSourceCount(), 0);
        for (OverlayWindow* overlay : overlays)
            QVERIFY(!overlay->isVisible());
        QCOMPARE(capsule(), kEndedByPlatform);
        QTest::qWait(600); // the next tick keeps saying it
        QCOMPARE(capsule(), kEndedByPlatform);

        clickLock(); // until the next click, which locks again as usual
        QVERIFY(m_controller->blocker().isActive());
        QCOMPARE(m_controller->overlays().size(), 2);
        clickLock();
        QTRY_COMPARE_WITH_TIMEOUT(capsule(), kGranted, 650);
    }

    // No screen at all still blocks the keys; a lone secondary screen gets the button.
    void lockingOnFewerScreens_data()
    {
        QTest::addColumn<QList<int>>("screens");
        QTest::newRow("no screens") << QList<int>{};
        QTest::newRow("only the secondary") << QList<int>{1};
    }

    void lockingOnFewerScreens()
    {
        QFETCH(QList<int>, screens);
        QList<QScreen*> chosen;
        for (int index : screens)
            chosen.append(QGuiApplication::screens().at(index));
        m_controller->setScreensForTesting([chosen] { return chosen; });
        clickLock();
        QVERIFY(m_controller->blocker().isActive());
        QCOMPARE(m_controller->overlays().size(), chosen.size());
        for (OverlayWindow* overlay : m_controller->overlays()) {
            QCOMPARE(overlay->screen(), chosen.first());
            QVERIFY(overlay->isPrimaryDisplay() && unlockButtonOf(overlay));
        }
        clickLock();
        verifyUnlocked();
    }

    // Screens that come while locked are covered; the first one after none gets the button.
    void aScreenAddedWhileLockedIsCovered()
    {
        m_controller->setScreensForTesting([] { return QList<QScreen*>{}; });
        clickLock();
        QScreen* right = QGuiApplication::screens().at(1);
        emit qGuiApp->screenAdded(right);
        emit qGuiApp->screenAdded(right); // told twice: still one overlay
        QCOMPARE(m_controller->overlays().size(), 1);
        OverlayWindow* added = m_controller->overlays().first();
        QVERIFY(added->isVisible() && added->isPrimaryDisplay() && unlockButtonOf(added));
        QCOMPARE(added->geometry(), right->geometry());
        QCOMPARE(desktop().keyWindows.last(), added->windowHandle());
        clickLock();
        emit qGuiApp->screenAdded(right); // unlocked: nothing to cover
        verifyUnlocked();
    }

    // The button goes on the screen that holds the main window at the click.
    void theUnlockButtonFollowsTheMainWindowsScreen()
    {
        QScreen* right = QGuiApplication::screens().at(1);
        QWidget* window = m_controller->window();
        window->windowHandle()->setScreen(right);
        window->move(right->geometry().center() - window->rect().center());
        QTRY_COMPARE(window->screen(), right);
        clickLock();
        const QList<OverlayWindow*> overlays = m_controller->overlays();
        QCOMPARE(overlays.size(), 2);
        QVERIFY(!overlays[0]->isPrimaryDisplay() && !unlockButtonOf(overlays[0]));
        QVERIFY(overlays[1]->isPrimaryDisplay() && unlockButtonOf(overlays[1]));
        QCOMPARE(overlays[1]->screen(), right);
        QCOMPARE(desktop().keyWindows, QList<QWindow*>{overlays[1]->windowHandle()});
    }

    // Where the desktop does not keep the overlays in front (GNOME), a window that takes
    // the focus during a lock puts them in front again; if that fails, the lock ends.
    void overlaysCoveredByAnotherWindowComeBackOrTheLockEnds()
    {
        desktop().keepsAbove = false;
        desktop().activates = true;
        clickLock();
        QVERIFY(m_controller->overlayGuard().isWatching());
        QTRY_COMPARE(QGuiApplication::focusWindow(),
                     m_controller->overlays().first()->windowHandle());
        // Nothing animates there: it could hold up the next fresh showing.
        for (OverlayWindow* overlay : m_controller->overlays())
            for (BreathingIcon* icon : overlay->findChildren<BreathingIcon*>())
                QVERIFY(!icon->breathingAnimation() ||
                        icon->breathingAnimation()->state() != QAbstractAnimation::Running);
        // Clicks on the other screen's overlay, however many, take the focus back there
        // without ending the lock.
        for (int click = 0; click < OverlayGuard::kMaxTries + 1; ++click) {
            m_controller->overlays().last()->activateWindow();
            QTRY_COMPARE(QGuiApplication::focusWindow(),
                         m_controller->overlays().last()->windowHandle());
            QTRY_COMPARE(QGuiApplication::focusWindow(),
                         m_controller->overlays().first()->windowHandle());
        }
        QVERIFY(m_controller->blocker().isActive());

        QWidget other;
        other.resize(600, 400);
        other.show();
        bool stealsFocus = false;
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, &other, [&](QWindow* window) {
            if (stealsFocus && window != other.windowHandle())
                QTimer::singleShot(0, &other, [&] { other.activateWindow(); });
        });
        for (bool comesBack : {true, false}) {
            const QList<OverlayWindow*> before = m_controller->overlays();
            stealsFocus = !comesBack;
            other.activateWindow();
            QTRY_COMPARE(QGuiApplication::focusWindow(), other.windowHandle());
            if (!comesBack)
                break;
            QElapsedTimer covered;
            covered.start();
            QTRY_VERIFY_WITH_TIMEOUT(m_controller->overlays().first() != before.first(), 1000);
            QCOMPARE(m_controller->overlays().last(), before.last()); // no button: left alone
            OverlayWindow* primary = m_controller->overlays().first();
            QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), primary->windowHandle(),
                                      1000 - covered.elapsed());
            QVERIFY(primary->isVisible() && unlockButtonOf(primary));
            QVERIFY(m_controller->blocker().isActive());
        }
        // The other window takes the focus back each time: the keyboard is given back,
        // and the capsule says why.
        QTRY_VERIFY_WITH_TIMEOUT(!m_controller->blocker().isActive(), 4000);
        verifyUnlocked();
        QCOMPARE(capsule().title, QStringLiteral("Unlocked: a window came in front"));
    }

    void aControllerGoneReleasesTheKeyboardAndIgnoresItsCallbacks()
    {
        QPointer<QTimer> poll = m_controller->permissionPollTimer();
        QVERIFY(poll && poll->isActive());
        const std::function<void()> lockAction = m_controller->lockButton()->onClick;
        clickLock();
        QPointer<OverlayWindow> overlay = m_controller->overlays().first();
        const std::function<void()> unlockAction = unlockButtonOf(overlay)->onClick;
        QVERIFY(lockAction && unlockAction);

        m_controller.reset();
        QVERIFY(!poll);
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
