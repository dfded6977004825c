// The inhibitor against a stand-in login manager that answers slowly, on a private system
// bus (support/with-system-bus.sh). The lock taking and letting go of it, and a login
// manager that is absent or refuses, are in X11PowerKeysTest.
#include "platform/linux/LogindInhibitor.h"
#include "support/FakeLoginManagerProcess.h"

#include <QElapsedTimer>
#include <QTest>

using platform::LogindInhibitor;

class LogindInhibitorTest : public QObject {
    Q_OBJECT

private slots:
    void aSlowAnswerIsNeverWaitedForAndMeetsTheLatestWish()
    {
        FakeLoginManagerProcess standIn;
        const QString problem = standIn.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(standIn.setBehaviour(QStringLiteral("answer"), 300));
        QElapsedTimer timer;

        // Let go before the answer: the lock is closed as soon as it arrives.
        LogindInhibitor first;
        timer.start();
        first.acquire();
        first.acquire(); // already wanted: no second request
        QCOMPARE_LT(timer.elapsed(), 50);
        QTRY_COMPARE(standIn.states(), QStringList{"pending"});
        first.release();
        QVERIFY(first.isWaitingForReply());
        QTRY_COMPARE(standIn.states(), QStringList{"released"});
        QVERIFY(!first.isWaitingForReply() && !first.isHeld());

        // Wanted again before the answer: that answer is kept.
        LogindInhibitor second;
        second.acquire();
        second.release();
        second.acquire();
        QTRY_VERIFY(second.isHeld());
        QCOMPARE(standIn.states(), (QStringList{"released", "held"}));
        timer.restart();
        second.release();
        QCOMPARE_LT(timer.elapsed(), 50);
        QTRY_COMPARE(standIn.states(), (QStringList{"released", "released"}));

        // Gone before the answer: nothing stays held.
        {
            LogindInhibitor third;
            third.acquire();
            QTRY_COMPARE(standIn.states().size(), 3);
        }
        QTRY_COMPARE(standIn.states(), (QStringList{"released", "released", "released"}));
    }
};

QTEST_GUILESS_MAIN(LogindInhibitorTest)
#include "LogindInhibitorTest.moc"
