// SPDX-License-Identifier: GPL-3.0-or-later

// Which way Tavimo locks on Linux, on a real X server with a private system bus: the
// keyboard-lock service wherever it is there, the X grab where it is not and the session
// is X11, nothing at all in a Wayland session without it; and what the user is told when
// another program holds the keyboard or no pointing device is connected.
#include "X11TestSupport.h"
#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/linux/KeyboardAccessHelp.h"
#include "platform/linux/KeyboardAccessRouter.h"
#include "platform/linux/LinuxDesktop.h"
#include "support/FakeLockServiceProcess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/MainWindowController.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStyleHints>
#include <QTest>

#include <memory>

using namespace platform;
using Presence = LockServiceWatcher::Presence;

namespace {

// Pretends to be a Wayland session for as long as it lives.
struct WaylandSession {
    WaylandSession() { qputenv("WAYLAND_DISPLAY", "wayland-0"); }
    ~WaylandSession() { qunsetenv("WAYLAND_DISPLAY"); }
};

bool setXvfbMouseEnabled(bool enabled)
{
    return QProcess::execute(QStringLiteral("xinput"),
                             {enabled ? QStringLiteral("enable") : QStringLiteral("disable"),
                              QStringLiteral("Xvfb mouse")}) == 0;
}

} // namespace

class KeyboardAccessRouterX11Test : public QObject {
    Q_OBJECT

private:
    KeyInjector m_keys;
    LinuxDesktop m_desktop;
    std::unique_ptr<KeyboardAccessRouter> m_router;
    std::unique_ptr<FakeLockServiceProcess> m_service;

    // No other client could grab the keyboard: somebody holds it.
    bool keyboardIsGrabbed()
    {
        if (!m_keys.grabKeyboard())
            return true;
        m_keys.ungrabKeyboard();
        return false;
    }
    static QMessageBox* helpBox()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                return box;
        }
        return nullptr;
    }
    static void click(MainWindowController& controller)
    {
        QTest::mouseClick(controller.lockButton()->button(), Qt::LeftButton);
    }
    static QString capsule(MainWindowController& controller)
    {
        return controller.permissionStatus()->title();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_keys.isConnected(), "no X server: run under with-xvfb.sh");
        QVERIFY2(QProcess::execute(QStringLiteral("xinput"), {QStringLiteral("--version")}) == 0,
                 "xinput is not installed (apt-get install xinput)");
    }
    void init()
    {
        m_service = std::make_unique<FakeLockServiceProcess>();
        m_router = std::make_unique<KeyboardAccessRouter>();
        overrideForTesting(m_router.get(), &m_desktop);
        // The bus has answered: no service here.
        QTRY_COMPARE(m_router->service().watcher().presence(), Presence::Absent);
    }
    void cleanup()
    {
        while (QMessageBox* box = helpBox())
            box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        overrideForTesting(nullptr, nullptr);
        m_router.reset();
        m_service.reset();
        QVERIFY(setXvfbMouseEnabled(true));
    }

    void withoutTheServiceX11LocksByGrabAndWaylandNotAtAll()
    {
        {
            KeyboardBlocker blocker;
            QVERIFY(m_router->isProcessTrusted());
            QVERIFY(blocker.start());
            QVERIFY(keyboardIsGrabbed());
        }
        QVERIFY(!keyboardIsGrabbed());

        const WaylandSession wayland;
        KeyboardBlocker blocker;
        QVERIFY(!m_router->isProcessTrusted() && !blocker.start());
        QCOMPARE(m_router->lastTapRefusal(), TapRefusal::NotPermitted);
        QCOMPARE(m_router->accessProblem(), AccessProblem::NoX11Session);
        QVERIFY(!keyboardIsGrabbed());
    }

    void aServiceThatAppearsIsUsedInBothSessionsAndLeftWhenItGoes()
    {
        QVERIFY(m_service->start(QStringLiteral("yes")).isEmpty());
        QTRY_COMPARE(&m_router->current(), static_cast<KeyboardAccess*>(&m_router->service()));
        for (bool inWayland : {false, true}) {
            const std::unique_ptr<WaylandSession> wayland(inWayland ? new WaylandSession : nullptr);
            KeyboardBlocker blocker;
            QTRY_VERIFY(m_router->isProcessTrusted());
            QVERIFY(blocker.start());
            QCOMPARE(m_service->lockState(), QStringLiteral("held"));
            QVERIFY(!keyboardIsGrabbed()); // the service's lock, not an X grab
            blocker.stop();
            QTRY_COMPARE(m_service->lockState(), QStringLiteral("released"));
        }
        QCOMPARE(m_service->count(QStringLiteral("Lock")), 2);

        // Refusing is not absent: no X grab behind the service's back.
        QVERIFY(m_service->setCanLock(QStringLiteral("no")));
        QTRY_VERIFY(!m_router->isProcessTrusted());
        QCOMPARE(m_router->accessProblem(), AccessProblem::NotAuthorized);

        m_service->stop(); // uninstalled: back to the X grab
        QTRY_COMPARE(m_router->service().watcher().presence(), Presence::Absent);
        QVERIFY(m_router->isProcessTrusted());
    }

    void anotherProgramHoldingTheKeyboardIsWhatTheHelpSays()
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QCOMPARE(capsule(controller), QStringLiteral("Accessibility access is ready"));
        QVERIFY(m_keys.grabKeyboard());
        click(controller);
        m_keys.ungrabKeyboard();
        QVERIFY(!controller.blocker().isActive() && controller.overlays().isEmpty());
        QCOMPARE(capsule(controller), QStringLiteral("Keyboard access still needs approval"));
        QVERIFY(helpBox());
        QCOMPARE(helpBox()->text(), QStringLiteral("Another program is holding the keyboard."));
        QVERIFY(helpBox()->informativeText().contains(QStringLiteral("Close its menu")));
    }

    void withoutAPointingDeviceTheLockIsRefusedAndTheCapsuleSaysSo()
    {
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QCOMPARE(capsule(controller), QStringLiteral("Accessibility access is ready"));

        QVERIFY(setXvfbMouseEnabled(false));
        QTRY_COMPARE_WITH_TIMEOUT(capsule(controller),
                                  QStringLiteral("Connect a mouse to lock the keyboard"), 1500);
        click(controller);
        QVERIFY(!controller.blocker().isActive() && controller.overlays().isEmpty());
        QVERIFY(!keyboardIsGrabbed());
        QVERIFY(!helpBox());
        // The grab itself refuses too, asking the server afresh.
        KeyboardBlocker blocker;
        QVERIFY(!blocker.start());
        QCOMPARE(m_router->lastTapRefusal(), TapRefusal::NoPointingDevice);
        QVERIFY(!keyboardIsGrabbed());

        QVERIFY(setXvfbMouseEnabled(true));
        QTRY_COMPARE_WITH_TIMEOUT(capsule(controller),
                                  QStringLiteral("Accessibility access is ready"), 1500);
        click(controller);
        QVERIFY(controller.blocker().isActive() && keyboardIsGrabbed());
        // A press while locked unlocks, past the double-click interval: one sooner is
        // taken for the second half of a double-click that locked.
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        click(controller);
        QVERIFY(!keyboardIsGrabbed());
    }
};

QTEST_MAIN(KeyboardAccessRouterX11Test)
#include "KeyboardAccessRouterX11Test.moc"
