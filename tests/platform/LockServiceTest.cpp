// SPDX-License-Identifier: GPL-3.0-or-later

// Keyboard access through the keyboard-lock service, against a stand-in service on a
// private system bus: the cached trust answer, the lock's descriptor and heartbeat, how
// refusals and an ended lock reach the capsule and the help.
#include "lock/KeyboardBlocker.h"
#include "platform/Platform.h"
#include "platform/linux/KeyboardAccessHelp.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/lockd/LockServiceKeyboardAccess.h"
#include "support/FakeLockServiceProcess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/InfoPill.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QThread>

#include <memory>

using namespace platform;

class LockServiceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeLockServiceProcess> m_service;
    std::unique_ptr<LockServiceKeyboardAccess> m_access;
    LinuxDesktop m_desktop;
    std::unique_ptr<MainWindowController> m_controller;

    void startService(const QString& answer)
    {
        const QString problem = m_service->start(answer);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    // The backend in use, once it has heard the service's first answer.
    void useBackend()
    {
        m_access = std::make_unique<LockServiceKeyboardAccess>();
        overrideForTesting(m_access.get(), &m_desktop);
        QTRY_VERIFY(m_access->watcher().answer() != lockservice::CanLock::Unknown);
    }
    void buildController()
    {
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }
    void clickLock() { QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton); }
    QString capsule() const { return m_controller->permissionStatus()->title(); }
    static QMessageBox* helpBox()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                return box;
        }
        return nullptr;
    }
    static void closeHelp()
    {
        while (QMessageBox* box = helpBox())
            box->close();
    }

private slots:
    void init() { m_service = std::make_unique<FakeLockServiceProcess>(); }
    void cleanup()
    {
        closeHelp();
        m_controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        overrideForTesting(nullptr, nullptr);
        m_access.reset();
        m_service.reset();
    }

    void trustFollowsTheServicesAnswerWithoutAQuestionPerPoll()
    {
        startService(QStringLiteral("yes"));
        useBackend();
        QVERIFY(m_access->isInstalled() && m_access->isProcessTrusted());
        const int asked = m_service->count(QStringLiteral("CanLock"));
        for (int i = 0; i < 10000; ++i)
            QVERIFY(m_access->isProcessTrusted() && m_access->hasPointingDevice());
        QCOMPARE(m_service->count(QStringLiteral("CanLock")), asked);

        struct Row {
            const char* answer;
            bool trusted;
            bool pointer;
            AccessProblem problem;
        };
        for (const Row& row :
             {Row{"challenge", false, true, AccessProblem::NeedsAuthentication},
              Row{"no", false, true, AccessProblem::NotAuthorized},
              Row{"session-inactive", false, true, AccessProblem::SessionNotActive},
              Row{"no-pointer", false, false, AccessProblem::NoPointingDevice},
              Row{"busy", false, true, AccessProblem::KeyboardHeldElsewhere},
              Row{"what?", false, true, AccessProblem::ServiceUnavailable},
              Row{"yes", true, true, AccessProblem::None}}) {
            QVERIFY(m_service->setCanLock(QString::fromLatin1(row.answer)));
            QTRY_COMPARE(m_access->accessProblem(), row.problem);
            QVERIFY2(m_access->isProcessTrusted() == row.trusted &&
                         m_access->hasPointingDevice() == row.pointer,
                     row.answer);
        }

        // Not announced: nothing asks, the cached answer holds.
        QVERIFY(m_service->setCanLock(QStringLiteral("no"), false));
        QTest::qWait(300);
        QVERIFY(m_access->isProcessTrusted());

        // A new instance of the service (a restart) is asked at once.
        m_service->stop();
        startService(QStringLiteral("challenge"));
        QTRY_COMPARE(m_access->accessProblem(), AccessProblem::NeedsAuthentication);
    }

    void aLockHoldsTheDescriptorAndBeatsEveryHalfSecondUntilStopped()
    {
        startService(QStringLiteral("yes"));
        useBackend();
        KeyboardBlocker blocker;
        QVERIFY(blocker.start());
        QCOMPARE(m_access->lastTapRefusal(), TapRefusal::None);
        QCOMPARE(m_service->lockState(), QStringLiteral("held"));
        QTest::qWait(800);
        // A main thread stuck (as in the display server's buffer handling) stops no beat.
        QThread::msleep(1500);
        QTest::qWait(300);
        const QList<int> beats = m_service->heartbeats();
        QVERIFY2(beats.size() >= 5 && beats.size() <= 7, qPrintable(QString::number(beats.size())));
        QCOMPARE_LT(beats.first(), 200); // the first one at once
        for (int i = 1; i < beats.size(); ++i) {
            const int gap = beats[i] - beats[i - 1];
            QVERIFY2(gap >= 400 && gap <= 1000, qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
        }
        blocker.stop();
        QTRY_COMPARE(m_service->lockState(), QStringLiteral("released"));
        QCOMPARE(m_service->count(QStringLiteral("Lock")), 1);
    }

    void whatTheServiceSaysOfItsHoldShowsOnTheOverlayAndTheCapsule()
    {
        startService(QStringLiteral("yes"));
        useBackend();
        buildController();
        clickLock();
        QVERIFY(m_controller->blocker().isActive());
        OverlayWindow* overlay = m_controller->overlays().value(0);
        QVERIFY(overlay);
        const auto title = [overlay] {
            return overlay->findChild<QLabel*>(QStringLiteral("title"))->text();
        };
        QCOMPARE(title(), QStringLiteral("Keyboard locked"));

        QVERIFY(m_service->send(QStringLiteral("R")));
        QElapsedTimer told;
        told.start();
        QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("Keyboard unlocked"), 500);
        QCOMPARE_LT(told.elapsed(), 500);
        QCOMPARE(capsule(), QStringLiteral("Keyboard unlocked by the system"));
        QVERIFY(m_controller->blocker().isActive() && !m_controller->blocker().isHeld());

        QVERIFY(m_service->send(QStringLiteral("L")));
        QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("Keyboard locked"), 500);
        QCOMPARE(capsule(), QStringLiteral("Accessibility access is ready"));
        QVERIFY(m_controller->blocker().isHeld());
    }

    void aRefusedLockLocksNothingAndTheHelpSaysWhy_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<TapRefusal>("refusal");
        QTest::addColumn<AccessProblem>("problem");
        QTest::newRow("not authorized")
            << "NotAuthorized" << TapRefusal::NotPermitted << AccessProblem::NotAuthorized;
        QTest::newRow("session not active") << "SessionNotActive" << TapRefusal::SessionNotActive
                                            << AccessProblem::SessionNotActive;
        QTest::newRow("a keyboard grabbed by another program")
            << "Busy" << TapRefusal::KeyboardHeldElsewhere << AccessProblem::KeyboardHeldElsewhere;
        QTest::newRow("another caller's lock")
            << "AlreadyLocked" << TapRefusal::KeyboardHeldElsewhere
            << AccessProblem::KeyboardHeldElsewhere;
        QTest::newRow("failed") << "Failed" << TapRefusal::Failed << AccessProblem::Failed;
        QTest::newRow("service gone")
            << "" << TapRefusal::ServiceUnavailable << AccessProblem::ServiceUnavailable;
        QTest::newRow("pointer gone")
            << "NoPointer" << TapRefusal::NoPointingDevice << AccessProblem::NoPointingDevice;
        QTest::newRow("keys held down")
            << "KeysHeld" << TapRefusal::KeysHeld << AccessProblem::KeysHeld;
    }
    void aRefusedLockLocksNothingAndTheHelpSaysWhy()
    {
        QFETCH(QString, error);
        QFETCH(TapRefusal, refusal);
        QFETCH(AccessProblem, problem);
        startService(QStringLiteral("yes"));
        useBackend();
        buildController();
        QCOMPARE(capsule(), QStringLiteral("Accessibility access is ready"));
        if (error.isEmpty())
            m_service->stop();
        else
            QVERIFY(m_service->setLockError(error));

        clickLock();
        QCOMPARE(m_access->lastTapRefusal(), refusal);
        QVERIFY(!m_controller->blocker().isActive() && m_controller->overlays().isEmpty());
        if (refusal == TapRefusal::NoPointingDevice || refusal == TapRefusal::KeysHeld) {
            // Says so in the capsule (for keys held, until the next click); nothing else
            // to explain.
            if (refusal == TapRefusal::KeysHeld)
                QTest::qWait(600); // a poll of the access state or two
            QCOMPARE(capsule(), refusal == TapRefusal::KeysHeld
                                    ? QStringLiteral("Let go of the keys to lock the keyboard")
                                    : QStringLiteral("Connect a mouse to lock the keyboard"));
            QVERIFY(!helpBox());
        } else {
            QCOMPARE(capsule(), QStringLiteral("Keyboard access still needs approval"));
            QVERIFY(helpBox());
            QCOMPARE(helpBox()->text(), keyboardAccessHelpText(problem).text);
        }
        if (!error.isEmpty())
            QCOMPARE(m_service->lockState(), QStringLiteral("none"));
    }

    void aLockTheServiceEndsOrLosesEndsInTavimoToo()
    {
        startService(QStringLiteral("yes"));
        useBackend();
        buildController();
        for (bool serviceDies : {false, true}) {
            clickLock();
            QVERIFY(m_controller->blocker().isActive());
            QCOMPARE(m_controller->overlays().size(), 1);
            if (serviceDies)
                m_service->stop(); // its end closes with it
            else
                QVERIFY(m_service->endLock());
            QTRY_VERIFY(!m_controller->blocker().isActive());
            QVERIFY(m_controller->overlays().isEmpty());
            QCOMPARE(capsule(), QStringLiteral("Keyboard unlocked by the system"));
        }
    }

    void askingForTrustAuthenticatesThroughTheServiceAndHelpsWhenItIsRefused()
    {
        startService(QStringLiteral("challenge"));
        useBackend();
        buildController();
        QCOMPARE(capsule(), QStringLiteral("Accessibility access required"));
        clickLock();
        QCOMPARE(capsule(), QStringLiteral("Waiting for Accessibility access"));
        // Refused: the help says what is missing and offers to ask again.
        QTRY_VERIFY(helpBox());
        QCOMPARE(m_service->count(QStringLiteral("Authorize:interactive")), 1);
        QCOMPARE(helpBox()->text(),
                 keyboardAccessHelpText(AccessProblem::NeedsAuthentication).text);
        QAbstractButton* again = nullptr;
        for (QAbstractButton* button : helpBox()->buttons())
            if (button->text() == QStringLiteral("Authenticate\u2026"))
                again = button;
        QVERIFY(again);
        QVERIFY(m_service->setAuthorizeGrants(true));
        again->click();
        QTRY_COMPARE(capsule(), QStringLiteral("Accessibility access is ready"));
        QCOMPARE(m_service->calls().filter(QStringLiteral("Authorize")),
                 QStringList(2, QStringLiteral("Authorize:interactive")));
        QVERIFY(!helpBox());
        clickLock();
        QVERIFY(m_controller->blocker().isActive());
        QCOMPARE(m_service->lockState(), QStringLiteral("held"));
        clickLock();
    }
};

QTEST_MAIN(LockServiceTest)
#include "LockServiceTest.moc"
