#include "OffscreenScreens.h"
#include "PillState.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QtTest>

class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// The controller's fields, its two constructors, its teardown and the permission
// monitor that keeps the status capsule true to the keyboard-access state.
class MainWindowControllerTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess* m_keyboard = nullptr;
    platform::FakeDesktop* m_desktop = nullptr;

private slots:
    void init()
    {
        m_keyboard = new platform::FakeKeyboardAccess;
        m_desktop = new platform::FakeDesktop;
        platform::overrideForTesting(m_keyboard, m_desktop);
    }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::overrideForTesting(nullptr, nullptr);
        delete m_keyboard;
        delete m_desktop;
    }

    void aControllerGivenAWindowStartsBlankAndBuildsNothing()
    {
        auto window = std::make_unique<QWidget>();
        QWidget* raw = window.get();
        MainWindowController controller(std::move(window));
        QCOMPARE(controller.window(), raw);
        QVERIFY(!controller.blocker().isActive());
        QVERIFY(!controller.blocker().hasEventTap());
        QVERIFY(!controller.blocker().didRequestPermission());
        QVERIFY(controller.overlays().isEmpty());
        QVERIFY(!controller.lockButton());
        QVERIFY(!controller.permissionStatus());
        QVERIFY(!controller.permissionPollTimer());
        QVERIFY(!controller.permissionRequestInFlight());
        QVERIFY(raw->children().isEmpty());
        QCOMPARE(m_keyboard->count("isProcessTrusted"), 0);

        MainWindowController windowless(nullptr);
        QVERIFY(!windowless.window());
        QVERIFY(!windowless.permissionPollTimer());
    }

    void theBuiltControllerPollsTwiceASecondUntilItIsDestroyed()
    {
        auto controller = std::make_unique<MainWindowController>();
        QPointer<QTimer> timer = controller->permissionPollTimer();
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 500);
        QCOMPARE(timer->isSingleShot(), false);
        QVERIFY(controller->window());
        QVERIFY(!controller->window()->isVisible());

        const int before = m_keyboard->count("isProcessTrusted");
        QTRY_VERIFY_WITH_TIMEOUT(m_keyboard->count("isProcessTrusted") >= before + 2, 1600);

        controller.reset();
        QVERIFY(!timer);
        const int afterTeardown = m_keyboard->count("isProcessTrusted");
        QTest::qWait(700);
        QCOMPARE(m_keyboard->count("isProcessTrusted"), afterTeardown);
    }

    void theCapsuleStartsGrantedOrRequiredNeverWaiting()
    {
        m_keyboard->trusted = true;
        MainWindowController granted;
        QCOMPARE(pillState(granted.permissionStatus()), kGranted);

        m_keyboard->trusted = false;
        MainWindowController required;
        QCOMPARE(pillState(required.permissionStatus()), kRequired);
        QVERIFY(!required.permissionRequestInFlight());
    }

    void theCapsuleFollowsAccessWithinHalfASecond()
    {
        m_keyboard->trusted = false;
        MainWindowController controller;
        QCOMPARE(pillState(controller.permissionStatus()), kRequired);

        m_keyboard->trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(pillState(controller.permissionStatus()), kGranted, 650);

        // Revoked access is "required", not "waiting": nobody asked for it.
        m_keyboard->trusted = false;
        QTRY_COMPARE_WITH_TIMEOUT(pillState(controller.permissionStatus()), kRequired, 650);
    }

    void aRequestInFlightShowsWaitingUntilAccessArrives()
    {
        m_keyboard->trusted = false;
        MainWindowController controller;
        controller.lockButtonClicked();
        QVERIFY(controller.permissionRequestInFlight());
        QCOMPARE(pillState(controller.permissionStatus()), kWaiting);

        QTest::qWait(1100); // two ticks: waiting holds for as long as access is missing
        QCOMPARE(pillState(controller.permissionStatus()), kWaiting);
        QVERIFY(controller.permissionRequestInFlight());

        m_keyboard->trusted = true;
        QTRY_COMPARE_WITH_TIMEOUT(pillState(controller.permissionStatus()), kGranted, 650);
        QVERIFY(!controller.permissionRequestInFlight());

        // Granted clears the request: losing access again reads "required".
        m_keyboard->trusted = false;
        QTRY_COMPARE_WITH_TIMEOUT(pillState(controller.permissionStatus()), kRequired, 650);
    }

    void aRefusedTapIsShownUntilTheNextTick()
    {
        m_keyboard->trusted = true;
        m_keyboard->refuseTap = true;
        MainWindowController controller;
        controller.lockButtonClicked();
        QCOMPARE(pillState(controller.permissionStatus()), kStillNeedsApproval);
        QTRY_COMPARE_WITH_TIMEOUT(pillState(controller.permissionStatus()), kGranted, 650);
    }

    void theLockButtonLooksTheSameInEveryCapsuleState()
    {
        m_keyboard->trusted = false;
        MainWindowController controller;
        controller.window()->show();
        const QImage required = controller.lockButton()->grab().toImage();
        QVERIFY(controller.lockButton()->isEnabled());

        controller.lockButtonClicked(); // waiting
        QVERIFY(controller.lockButton()->isEnabled());
        m_keyboard->trusted = true;
        controller.refreshPermissionStatus(); // granted
        QVERIFY(controller.lockButton()->isEnabled());
        QCOMPARE(controller.lockButton()->grab().toImage(), required);
    }

    void anUnchangedStateCostsTheCapsuleNoRepaint()
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QTest::qWait(100);
        PaintCounter paints;
        controller.permissionStatus()->installEventFilter(&paints);
        QTest::qWait(1100); // two ticks, nothing changed
        QCOMPARE(paints.count, 0);
        m_keyboard->trusted = false;
        QTRY_VERIFY_WITH_TIMEOUT(paints.count > 0, 700);
        QCOMPARE(pillState(controller.permissionStatus()), kRequired);
    }

    void openingAccessibilitySettingsGoesThroughTheDesktop()
    {
        MainWindowController controller(nullptr);
        controller.openAccessibilitySettings();
        QCOMPARE(m_desktop->keyboardAccessSettingsOpened, 1);
        QVERIFY(m_desktop->openedUrls.isEmpty());
    }

    void destroyingALockedControllerReleasesTheKeyboard()
    {
        auto controller = std::make_unique<MainWindowController>();
        controller->lockButtonClicked();
        QVERIFY(controller->blocker().isActive());
        QPointer<OverlayWindow> overlay = controller->overlays().value(0);
        QVERIFY(overlay);

        controller.reset();
        // The blocker's own teardown removes the tap; the overlays go with the controller.
        QVERIFY(!m_keyboard->hasLiveTap());
        QCOMPARE(m_keyboard->liveSourceCount(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!overlay);
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(MainWindowControllerTest)
#include "MainWindowControllerTest.moc"
