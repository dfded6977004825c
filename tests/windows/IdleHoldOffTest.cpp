// SPDX-License-Identifier: GPL-3.0-or-later

// A locked keyboard holds off idling through the session's screen saver and GNOME's session
// manager (stand-ins on a private session bus): from the lock to its end, however it ends.
#include "support/WindowsTestSupport.h"

#include "platform/linux/IdleHoldOff.h"
#include "support/FakeIdleInhibitProcess.h"
#include "windows/MainWindowController.h"

#include <QElapsedTimer>

namespace {

const QStringList kBothHeld{
    QStringLiteral("gnome app.tavimo.Tavimo 0 Keyboard locked for cleaning 8"),
    QStringLiteral("screensaver Tavimo Keyboard locked for cleaning")};

} // namespace

class IdleHoldOffTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<MainWindowController> m_controller;
    platform::IdleHoldOff m_idle;

    platform::FakeKeyboardAccess& keyboard() { return m_fake->keyboard; }
    // Locks or unlocks as a click on either button does, without the double-click guard.
    void toggleLock() { m_controller->lockButtonClicked(); }

private slots:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        m_fake->desktop.onHoldOffIdle = [this](bool held) {
            m_idle.setHeld(held);
        };
        m_controller = std::make_unique<MainWindowController>();
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_fake.reset();
    }

    // First: the session bus connection is opened by the first lock.
    void withoutTheServicesTheLockWorksAndNothingIsHeld()
    {
        toggleLock();
        QVERIFY(m_controller->blocker().isActive());
        QVERIFY(m_fake->desktop.idleHeldOff);
        QTest::qWait(500);
        QVERIFY(!m_idle.screenSaver().isHeld());
        QVERIFY(!m_idle.gnomeSession().isHeld());
        toggleLock();
        QVERIFY(!m_controller->blocker().isActive());
        QVERIFY(!m_fake->desktop.idleHeldOff);
    }

    void idlingIsHeldOffExactlyWhileLocked()
    {
        FakeIdleInhibitProcess services;
        QCOMPARE(services.start(), QString());
        QCOMPARE(services.held(), QStringList());

        toggleLock(); // unlocked by a click
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), kBothHeld, 3000);
        QTRY_VERIFY(m_idle.screenSaver().isHeld() && m_idle.gnomeSession().isHeld());
        toggleLock();
        QVERIFY(!m_controller->blocker().isActive());
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), QStringList(), 3000);

        toggleLock(); // ended by the system
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), kBothHeld, 3000);
        keyboard().endLiveTapByPlatform();
        QVERIFY(m_controller->overlays().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), QStringList(), 3000);

        toggleLock(); // the program closes while locked
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), kBothHeld, 3000);
        m_controller.reset();
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), QStringList(), 3000);
        QCOMPARE(services.handed(), 6);
    }

    void slowServicesHoldNothingUpAndALateCookieIsGivenBack()
    {
        FakeIdleInhibitProcess services;
        QCOMPARE(services.start({QStringLiteral("800")}), QString());

        QElapsedTimer clock;
        clock.start();
        toggleLock();
        QVERIFY(m_controller->blocker().isActive());
        toggleLock(); // over before the cookies come
        QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!m_controller->blocker().isActive());

        QTRY_COMPARE_WITH_TIMEOUT(services.handed(), 2, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), QStringList(), 1000);
        QVERIFY(!m_idle.screenSaver().isHeld() && !m_idle.gnomeSession().isHeld());

        // Locked again while cookies are still on their way: those are kept, and given back
        // on unlock.
        toggleLock();
        toggleLock();
        toggleLock();
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), kBothHeld, 3000);
        toggleLock();
        QTRY_COMPARE_WITH_TIMEOUT(services.held(), QStringList(), 3000);
    }
};

QTEST_MAIN(IdleHoldOffTest)
#include "IdleHoldOffTest.moc"
