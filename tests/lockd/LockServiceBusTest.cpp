// SPDX-License-Identifier: GPL-3.0-or-later

// The keyboard-lock service over D-Bus, on a private system bus: the service as installed
// (lockd-fake-host: LockService with stand-in devices), stand-ins for polkit and logind,
// and this test and lockd-client as its callers.
#include "support/FakeLoginManagerProcess.h"
#include "support/FakePolkitProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>

#include <poll.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("app.tavimo.Tavimo.KeyboardLock");
const QString kPath = QStringLiteral("/app/tavimo/Tavimo/KeyboardLock");
const QString kInterface = QStringLiteral("app.tavimo.Tavimo.KeyboardLock1");
const QString kErrors = QStringLiteral("app.tavimo.Tavimo.KeyboardLock1.Error.");

bool hungUp(const QDBusUnixFileDescriptor& fd)
{
    pollfd watched{fd.fileDescriptor(), POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP);
}

} // namespace

class SignalCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void changed() { ++count; }
};

class LockServiceBusTest : public QObject {
    Q_OBJECT

private:
    FakePolkitProcess polkit;
    FakeLoginManagerProcess logind;
    QProcess host;
    QStringList plugged;

    struct LockReply {
        QString error; // the short name after ...Error., or empty
        QDBusUnixFileDescriptor fd;
    };

    QDBusMessage control(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/app/tavimo/Tavimo/Test/FakeDevices"),
            QStringLiteral("app.tavimo.Tavimo.Test.FakeDevices"), method);
        message.setArguments(arguments);
        return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
    }
    QString plug(const QString& kind, bool heldByOther = false)
    {
        const QDBusMessage reply = control(QStringLiteral("Plug"), {kind, heldByOther});
        const QString path = reply.arguments().value(0).toString();
        plugged.append(path);
        return path;
    }
    void unplug(const QString& path)
    {
        control(QStringLiteral("Unplug"), {path});
        plugged.removeAll(path);
    }
    bool grabbed(const QString& path)
    {
        return control(QStringLiteral("Grabbed"), {path}).arguments().value(0).toBool();
    }
    int grabbedCount()
    {
        const QDBusMessage reply = control(QStringLiteral("GrabbedCount"));
        return reply.arguments().isEmpty() ? -1 : reply.arguments().first().toInt();
    }
    QDBusMessage call(const QDBusConnection& bus, const QString& method, bool interactive = false)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        message.setInteractiveAuthorizationAllowed(interactive);
        return bus.call(message, QDBus::Block, 10000);
    }
    QString canLock(const QDBusConnection& bus = QDBusConnection::systemBus())
    {
        const QDBusMessage reply = call(bus, QStringLiteral("CanLock"));
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString()
                                                          : reply.errorName();
    }
    LockReply lock(const QDBusConnection& bus = QDBusConnection::systemBus(),
                   bool interactive = false)
    {
        const QDBusMessage reply = call(bus, QStringLiteral("Lock"), interactive);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {shortError(reply), {}};
        return {{}, reply.arguments().value(0).value<QDBusUnixFileDescriptor>()};
    }
    bool setSession(const QString& lookup, bool active, bool remote = false, uint uid = ::getuid())
    {
        return logind.setSession(lookup, active, remote, uid);
    }
    void press(const QString& path, bool down)
    {
        control(QStringLiteral("Key"), {path, uint(30), down}); // KEY_A
    }
    QDBusPendingCall callAsync(const QDBusConnection& bus, const QString& method)
    {
        return bus.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface, method),
                             10000);
    }
    static QString shortError(const QDBusMessage& reply)
    {
        return reply.errorName().startsWith(kErrors) ? reply.errorName().mid(kErrors.size())
                                                     : reply.errorName();
    }
    void startHost(const QStringList& options = {})
    {
        // Heartbeats are the unit tests' business: here a lock lasts while the test runs.
        host.start(QStringLiteral(TAVIMO_LOCKD_FAKE_HOST),
                   QStringList{QStringLiteral("--heartbeat-timeout-ms=60000")} + options);
        QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(kService));
    }
    static QDBusConnection otherConnection(const QString& name)
    {
        return QDBusConnection::connectToBus(QDBusConnection::SystemBus, name);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(polkit.start(), QString());
        QCOMPARE(logind.start(), QString());
        host.setProcessChannelMode(QProcess::ForwardedChannels);
        startHost();
    }
    void cleanupTestCase()
    {
        host.kill();
        host.waitForFinished();
    }
    void init()
    {
        QVERIFY(polkit.setAnswer(QStringLiteral("yes")));
        QVERIFY(polkit.setDelay(0));
        QVERIFY(setSession(QStringLiteral("pid"), true));
        QVERIFY(logind.setSeat(QStringLiteral("seat0")));
        QVERIFY(logind.setLocked(QStringLiteral("none")));
    }
    void cleanup()
    {
        QTRY_COMPARE(grabbedCount(), 0);
        for (const QString& path : QStringList(plugged))
            unplug(path);
    }

    void lockHandsOutADescriptorThatHoldsTheLockUntilItCloses()
    {
        const QString keyboard = plug(QStringLiteral("keyboard"));
        plug(QStringLiteral("mouse"));
        const QString lid = plug(QStringLiteral("lid"));
        const QString elsewhere = plug(QStringLiteral("keyboard@seat1"));
        plug(QStringLiteral("mouse@seat1"));
        QDBusConnection other = otherConnection(QStringLiteral("other"));
        QCOMPARE(canLock(), QStringLiteral("yes"));
        {
            LockReply locked = lock();
            QCOMPARE(locked.error, QString());
            QVERIFY(locked.fd.isValid());
            // Only the caller's seat: another seat's user keeps typing.
            QVERIFY(grabbed(keyboard) && !grabbed(lid) && !grabbed(elsewhere));
            const QString plugged = plug(QStringLiteral("keyboard@seat1"));
            QVERIFY(!grabbed(plugged));
            const QString me = QDBusConnection::systemBus().baseService();
            QCOMPARE(
                polkit.checks().last(),
                QStringLiteral("system-bus-name %1 app.tavimo.Tavimo.lock-keyboard 0").arg(me));
            QCOMPARE(canLock(other), QStringLiteral("busy"));
            QCOMPARE(canLock(), QStringLiteral("yes")); // its own lock is nobody else's
            QCOMPARE(lock(other).error, QStringLiteral("AlreadyLocked"));
            QCOMPARE(lock().error, QStringLiteral("AlreadyLocked"));
            // Whom polkit turns away learns nothing of the lock.
            QVERIFY(polkit.setAnswer(QStringLiteral("no")));
            QCOMPARE(lock(other).error, QStringLiteral("NotAuthorized"));
            QCOMPARE(canLock(other), QStringLiteral("no"));
            QVERIFY(polkit.setAnswer(QStringLiteral("yes")));
            QVERIFY(!hungUp(locked.fd));
        } // the only copy of the descriptor closes
        QTRY_VERIFY(!grabbed(keyboard));
        QTRY_COMPARE(canLock(other), QStringLiteral("yes"));

        // Interactive authorization only where the call allows it.
        QCOMPARE(lock(QDBusConnection::systemBus(), true).error, QString());
        QVERIFY(polkit.checks().last().endsWith(QStringLiteral(" 1")));
        QDBusConnection::disconnectFromBus(QStringLiteral("other"));

        // A user at seat1 locks seat1's keyboards alone.
        QTRY_COMPARE(grabbedCount(), 0);
        QVERIFY(logind.setSeat(QStringLiteral("seat1")));
        const LockReply atSeat1 = lock();
        QCOMPARE(atSeat1.error, QString());
        QVERIFY(grabbed(elsewhere) && !grabbed(keyboard));
    }

    void refusalsCarryTheirErrorNames_data()
    {
        QTest::addColumn<QString>("polkitAnswer");
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<int>("otherUser");
        QTest::addColumn<bool>("mouse");
        QTest::addColumn<QString>("keyboard"); // "free", "held elsewhere" or "key down"
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("canLock");
        QTest::addColumn<QString>("seat");
        QTest::newRow("not authorized") << "no"
                                        << "pid" << true << false << 0 << true << "free"
                                        << "NotAuthorized"
                                        << "no"
                                        << "seat0";
        QTest::newRow("authentication needed, not allowed to ask")
            << "challenge"
            << "pid" << true << false << 0 << true << "free"
            << "NotAuthorized"
            << "challenge"
            << "seat0";
        QTest::newRow("session inactive") << "yes"
                                          << "pid" << false << false << 0 << true << "free"
                                          << "SessionNotActive"
                                          << "session-inactive"
                                          << "seat0";
        QTest::newRow("remote session") << "yes"
                                        << "pid" << true << true << 0 << true << "free"
                                        << "SessionNotActive"
                                        << "session-inactive"
                                        << "seat0";
        QTest::newRow("no session at all") << "yes"
                                           << "none" << true << false << 0 << true << "free"
                                           << "SessionNotActive"
                                           << "session-inactive"
                                           << "seat0";
        QTest::newRow("another user's session") << "yes"
                                                << "pid" << true << false << 1 << true << "free"
                                                << "SessionNotActive"
                                                << "session-inactive"
                                                << "seat0";
        QTest::newRow("session at no seat (as over ssh)")
            << "yes"
            << "pid" << true << false << 0 << true << "free"
            << "SessionNotActive"
            << "session-inactive"
            << "";
        QTest::newRow("pointing device only at another seat")
            << "yes"
            << "pid" << true << false << 0 << false << "free"
            << "NoPointer"
            << "no-pointer"
            << "seat0";
        QTest::newRow("keyboard held by another program (EBUSY)")
            << "yes"
            << "pid" << true << false << 0 << true << "held elsewhere"
            << "Busy"
            << "yes"
            << "seat0";
        QTest::newRow("a key held down for the whole wait")
            << "yes"
            << "pid" << true << false << 0 << true << "key down"
            << "KeysHeld"
            << "yes"
            << "seat0";
        // Desktops start programs in systemd user scopes, outside any session.
        QTest::newRow("program outside a session: its user's display session counts")
            << "yes"
            << "display" << true << false << 0 << true << "free"
            << ""
            << "yes"
            << "seat0";
    }
    void refusalsCarryTheirErrorNames()
    {
        QFETCH(QString, keyboard);
        QFETCH(QString, seat);
        QFETCH(QString, polkitAnswer);
        QFETCH(QString, lookup);
        QFETCH(bool, active);
        QFETCH(bool, remote);
        QFETCH(int, otherUser);
        QFETCH(bool, mouse);
        QFETCH(QString, error);
        QFETCH(QString, canLock);
        plug(QStringLiteral("keyboard"));
        const QString second =
            plug(QStringLiteral("keyboard"), keyboard == QLatin1String("held elsewhere"));
        if (keyboard == QLatin1String("key down"))
            press(second, true);
        plug(mouse ? QStringLiteral("mouse") : QStringLiteral("mouse@seat1"));
        QVERIFY(polkit.setAnswer(polkitAnswer));
        QVERIFY(logind.setSeat(seat));
        QVERIFY(setSession(lookup, active, remote, ::getuid() + uint(otherUser)));
        QCOMPARE(this->canLock(), canLock);
        const LockReply locked = lock();
        QCOMPARE(locked.error, error);
        QCOMPARE(grabbedCount(), error.isEmpty() ? 2 : 0); // a refusal leaves nothing grabbed
        press(second, false);
    }

    void authorizeLetsTheCallerLockWithoutAskingAgain()
    {
        plug(QStringLiteral("keyboard"));
        plug(QStringLiteral("mouse"));
        QVERIFY(polkit.setAnswer(QStringLiteral("challenge")));
        QDBusConnection other = otherConnection(QStringLiteral("other"));
        QCOMPARE(canLock(), QStringLiteral("challenge"));
        const QDBusMessage authorized =
            call(QDBusConnection::systemBus(), QStringLiteral("Authorize"), true);
        QCOMPARE(authorized.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(canLock(), QStringLiteral("yes"));
        QCOMPARE(canLock(other), QStringLiteral("challenge")); // for that connection only
        QCOMPARE(lock().error, QString());
        QTRY_COMPARE(grabbedCount(), 0);
        // polkit's rules changed: what it said before counts no more.
        QVERIFY(polkit.setAnswer(QStringLiteral("challenge")));
        QTRY_COMPARE(canLock(), QStringLiteral("challenge"));
        QCOMPARE(lock().error, QStringLiteral("NotAuthorized"));
        QDBusConnection::disconnectFromBus(QStringLiteral("other"));
    }

    // polkit may answer seconds later (a password typed): what happened to the session
    // meanwhile decides.
    void aSessionThatChangesWhileTheLockIsTakenGetsNoLock_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("switched away while polkit answers") << "inactive";
        QTest::newRow("locked while polkit answers") << "hint";
    }
    void aSessionThatChangesWhileTheLockIsTakenGetsNoLock()
    {
        QFETCH(QString, change);
        plug(QStringLiteral("keyboard"));
        plug(QStringLiteral("mouse"));
        QVERIFY(polkit.setDelay(700));
        QDBusPendingCall pending = callAsync(QDBusConnection::systemBus(), QStringLiteral("Lock"));
        QTest::qWait(250);
        QVERIFY(change == QLatin1String("hint") ? logind.setLocked(change)
                                                : setSession(QStringLiteral("pid"), false));
        pending.waitForFinished();
        QCOMPARE(shortError(pending.reply()), QStringLiteral("SessionNotActive"));
        QTRY_COMPARE(grabbedCount(), 0);
    }

    // Calls in progress are budgeted per connection: one flooding the service is turned
    // away at once, and the others are still answered.
    void aConnectionWithTooManyCallsInProgressIsTurnedAway()
    {
        plug(QStringLiteral("keyboard"));
        plug(QStringLiteral("mouse"));
        QVERIFY(polkit.setDelay(500));
        const QDBusConnection flood = otherConnection(QStringLiteral("flood"));
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < 30; ++i)
            calls.append(callAsync(flood, QStringLiteral("CanLock")));
        QCOMPARE(canLock(), QStringLiteral("yes"));
        int turnedAway = 0;
        for (QDBusPendingCall& pending : calls) {
            pending.waitForFinished();
            turnedAway += pending.reply().errorName() ==
                          QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded");
        }
        QVERIFY2(turnedAway >= 20, qPrintable(QString::number(turnedAway)));
        QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
    }

    void theLockEndsWithItsHolder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("holder killed (kill -9)") << "kill";
        QTest::newRow("holder's bus name gone, descriptor still open") << "name";
        QTest::newRow("holder's session no longer active") << "session";
        QTest::newRow("holder's session locked (LockedHint)") << "hint";
        QTest::newRow("holder's session told to lock (Lock signal)") << "signal";
        QTest::newRow("last pointing device unplugged") << "pointer";
    }
    void theLockEndsWithItsHolder()
    {
        QFETCH(QString, how);
        const QString keyboard = plug(QStringLiteral("keyboard"));
        const QString mouse = plug(QStringLiteral("mouse"));
        QDBusUnixFileDescriptor fd;
        QProcess client;
        if (how == QLatin1String("kill")) {
            client.start(QStringLiteral(TAVIMO_LOCKD_CLIENT), {});
            QVERIFY(client.waitForReadyRead(10000));
            QCOMPARE(client.readLine().trimmed(), QByteArray("locked"));
        } else {
            const QDBusConnection holder = otherConnection(QStringLiteral("holder"));
            LockReply locked = lock(holder);
            QCOMPARE(locked.error, QString());
            fd = locked.fd;
        }
        QVERIFY(grabbed(keyboard));

        if (how == QLatin1String("kill"))
            ::kill(pid_t(client.processId()), SIGKILL);
        else if (how == QLatin1String("name"))
            QDBusConnection::disconnectFromBus(QStringLiteral("holder"));
        else if (how == QLatin1String("session"))
            QVERIFY(setSession(QStringLiteral("pid"), false));
        else if (how == QLatin1String("hint") || how == QLatin1String("signal"))
            QVERIFY(logind.setLocked(how));
        else
            unplug(mouse);
        QTRY_VERIFY(!grabbed(keyboard));
        if (fd.isValid())
            QTRY_VERIFY(hungUp(fd));
        client.waitForFinished();
        QDBusConnection::disconnectFromBus(QStringLiteral("holder"));
    }

    // A root process kept alive by anyone who calls would be a resource for strangers: only
    // callers polkit allows count, and an Authorize() remembered does not either.
    void strangersDoNotKeepTheServiceFromItsIdleExit()
    {
        host.kill();
        host.waitForFinished();
        QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(kService));
        startHost({QStringLiteral("--idle-exit=1")});
        const QDBusConnection authorized = otherConnection(QStringLiteral("authorized"));
        QCOMPARE(call(authorized, QStringLiteral("Authorize")).type(), QDBusMessage::ReplyMessage);
        QVERIFY(setSession(QStringLiteral("pid"), true, false, ::getuid() + 1)); // a stranger
        QElapsedTimer running;
        running.start();
        while (host.state() == QProcess::Running && running.elapsed() < 4000) {
            QCOMPARE(canLock(), QStringLiteral("session-inactive"));
            QTest::qWait(250);
        }
        QVERIFY2(host.waitForFinished(0) || host.state() == QProcess::NotRunning,
                 "strangers kept the service running");
        QVERIFY(running.elapsed() < 3000);
        QDBusConnection::disconnectFromBus(QStringLiteral("authorized"));
        startHost();
    }

    void canLockChangedTellsWhenTheAnswerMayHaveChanged()
    {
        plug(QStringLiteral("keyboard"));
        const QString mouse = plug(QStringLiteral("mouse"));
        SignalCounter counter;
        QVERIFY(QDBusConnection::systemBus().connect(kService, kPath, kInterface,
                                                     QStringLiteral("CanLockChanged"), &counter,
                                                     SLOT(changed())));
        auto changes = [&counter](const std::function<void()>& change) {
            const int before = counter.count;
            change();
            return QTest::qWaitFor([&] { return counter.count > before; }, 5000);
        };
        QVERIFY(changes([&] { unplug(mouse); }));
        QVERIFY(changes([&] { plug(QStringLiteral("mouse")); }));
        QVERIFY(changes([&] { polkit.setAnswer(QStringLiteral("no")); }));
        QVERIFY(changes([&] { setSession(QStringLiteral("pid"), false); }));
        polkit.setAnswer(QStringLiteral("yes"));
        setSession(QStringLiteral("pid"), true);
        QDBusUnixFileDescriptor fd;
        QVERIFY(changes([&] { fd = lock().fd; }));
        QVERIFY(changes([&] { fd = {}; }));
    }
};

QTEST_GUILESS_MAIN(LockServiceBusTest)
#include "LockServiceBusTest.moc"
