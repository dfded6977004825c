// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/guest/GuestTool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>

// The keyboard-lock service on a real kernel: a real system bus with the service's own
// policy, the service grabbing uinput devices, a client that locks as Tavimo does (as an
// ordinary user), and a stand-in compositor reading every event node.
class LockServiceGuestTest : public QObject {
    Q_OBJECT

private:
    static constexpr auto kBusy = "app.tavimo.Tavimo.KeyboardLock1.Error.Busy";
    static constexpr auto kAlreadyLocked = "app.tavimo.Tavimo.KeyboardLock1.Error.AlreadyLocked";
    static constexpr auto kNoPointer = "app.tavimo.Tavimo.KeyboardLock1.Error.NoPointer";

    GuestTool bus;
    GuestTool authorities;
    QProcess service;
    GuestTool reader;
    GuestTool keyboard;
    GuestTool mouse;
    QString keyboardNode;

    ReaderCounts counts() { return ReaderCounts(reader.askUntil("count", "end")); }
    long keysSeen(const QString& name) { return counts().device(name).keys; }

    QString plug(GuestTool& device, const char* kind, const QString& name)
    {
        return plugVirtualDevice(device, reader, kind, name);
    }

    // A client of the service running as an ordinary user, as Tavimo does.
    static QString startClient(GuestTool& client)
    {
        return client.start(QStringLiteral("setpriv"),
                            {"--reuid=65534", "--regid=65534", "--clear-groups",
                             QStringLiteral(TAVIMO_LOCK_CLIENT)});
    }

    // Whether one keystroke typed on `device` now reaches the stand-in compositor.
    bool keystrokeReaches(GuestTool& device, const QString& name)
    {
        reader.ask("reset");
        device.ask("type 1");
        return keysSeen(name) > 0;
    }

    // Milliseconds until keystrokes on `device` reach (or stop reaching) the reader, or
    // -1 after timeoutMs.
    qint64 msUntilKeys(GuestTool& device, const QString& name, bool reach, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (keystrokeReaches(device, name) == reach)
                return clock.elapsed();
            QThread::msleep(20);
        }
        return -1;
    }

    static bool isLocked(const QString& answer) { return answer.startsWith("locked "); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral("/dev/uinput")),
                 "no /dev/uinput: this test runs inside the guest (run-in-guest.sh)");
        QVERIFY(QDir().mkpath(QStringLiteral("/run/dbus")));
        QVERIFY2(bus.start(QStringLiteral("dbus-daemon"),
                           {"--nofork", "--print-address",
                            "--config-file=" TAVIMO_GUEST_SUPPORT "/guest-bus.conf"})
                     .startsWith("unix:"),
                 "the system bus did not start");
        QCOMPARE(authorities.start(QStringLiteral(TAVIMO_GUEST_AUTHORITIES)), "ready");
        QCOMPARE(reader.start(QStringLiteral(TAVIMO_EVDEV_READER)), "ready");
        keyboardNode = plug(keyboard, "keyboard", "desk keyboard");
        QVERIFY(!keyboardNode.isEmpty());
        QVERIFY(!plug(mouse, "mouse", "desk mouse").isEmpty());

        QElapsedTimer clock;
        clock.start();
        service.setProcessChannelMode(QProcess::ForwardedChannels);
        service.start(QStringLiteral(TAVIMO_LOCKD), {"--idle-exit=0"});
        QVERIFY(service.waitForStarted(10000));
        GuestTool client;
        QVERIFY(startClient(client).startsWith("ready :"));
        QString answer;
        while (clock.elapsed() < 20000 && !(answer = client.ask("canlock")).startsWith("canlock"))
            QThread::msleep(50);
        QCOMPARE(answer, "canlock yes");
        qInfo("service up and answering after %lld ms", clock.elapsed());
    }

    void lockedKeyboardReachesNobodyUntilUnlocked()
    {
        GuestTool client;
        startClient(client);
        const QString locked = client.ask("lock");
        QVERIFY2(isLocked(locked), qPrintable(locked));
        qInfo("Lock() answered in %s µs", qPrintable(locked.section(' ', 1, 1)));

        reader.ask("reset");
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        QCOMPARE(mouse.ask("move 1000"), "ok");
        QCOMPARE(mouse.ask("click"), "ok");
        ReaderCounts seen = counts();
        QCOMPARE(seen.device("desk keyboard").keys, 0);
        // The pointer stays free to click the unlock button.
        QCOMPARE(seen.device("desk mouse").motions, 1000);
        QCOMPARE(seen.device("desk mouse").buttons, 2);
        // To anyone else the lock is taken.
        GuestTool other;
        startClient(other);
        QCOMPARE(other.ask("canlock"), "canlock busy");
        QVERIFY(other.ask("lock").startsWith("error " + QString(kAlreadyLocked)));

        QCOMPARE(client.ask("unlock"), "unlocked");
        const qint64 released = msUntilKeys(keyboard, "desk keyboard", true, 3000);
        QVERIFY2(released >= 0, "the keyboard stayed grabbed after unlock");
        reader.ask("reset");
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        seen = counts();
        QCOMPARE(seen.device("desk keyboard").keys, 10000);
        QCOMPARE(seen.device("desk keyboard").dropped, 0);
        QCOMPARE(seen.device("desk keyboard").held, "-");
        qInfo("locked: 0 of 10000 key events reached the reader; after unlock (free in %lld ms) "
              "10000 of 10000",
              released);
    }

    void killedClientEndsTheLock()
    {
        GuestTool client;
        startClient(client);
        QVERIFY(isLocked(client.ask("lock")));
        QVERIFY(!keystrokeReaches(keyboard, "desk keyboard"));
        ::kill(pid_t(client.pid()), SIGKILL);
        const qint64 released = msUntilKeys(keyboard, "desk keyboard", true, 3000);
        QVERIFY2(released >= 0, "the keyboard stayed grabbed after its client was killed");
        qInfo("kill -9 of the client: keyboard free after %lld ms", released);
        GuestTool next;
        startClient(next);
        QCOMPARE(next.ask("canlock"), "canlock yes");
    }

    void stalledClientLosesTheKeyboardUntilItsHeartbeatReturns()
    {
        GuestTool client;
        startClient(client);
        QVERIFY(isLocked(client.ask("lock")));
        QCOMPARE(client.ask("stall"), "ok");
        // Heartbeats every 500 ms, given up after 2 s without one: free after 1.5-2 s,
        // plus what the loaded, emulated guest adds.
        const qint64 released = msUntilKeys(keyboard, "desk keyboard", true, 6000);
        QVERIFY2(released >= 0, "a stalled client kept the keyboard");
        QVERIFY2(released >= 1000,
                 qPrintable(QString("given back after only %1 ms").arg(released)));
        QCOMPARE(client.nextLine(3000), "told R");
        reader.ask("reset");
        QCOMPARE(keyboard.ask("type 1000"), "ok");
        QCOMPARE(keysSeen("desk keyboard"), 2000);

        QCOMPARE(client.ask("resume"), "ok");
        const qint64 regrabbed = msUntilKeys(keyboard, "desk keyboard", false, 3000);
        QVERIFY2(regrabbed >= 0, "the returning heartbeat did not take the keyboard again");
        QCOMPARE(client.nextLine(3000), "told L");
        reader.ask("reset");
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        QCOMPARE(keysSeen("desk keyboard"), 0);
        // The lock lived on through the stall.
        QCOMPARE(client.nextLine(100), QString());
        QCOMPARE(client.ask("unlock"), "unlocked");
        QVERIFY(msUntilKeys(keyboard, "desk keyboard", true, 3000) >= 0);
        qInfo("stalled heartbeat: keyboard free after %lld ms, grabbed again %lld ms after the "
              "heartbeat returned",
              released, regrabbed);
    }

    void keyboardPluggedDuringALockIsGrabbed()
    {
        GuestTool client;
        startClient(client);
        QVERIFY(isLocked(client.ask("lock")));
        GuestTool late;
        QVERIFY(!plug(late, "keyboard", "late keyboard").isEmpty());
        // Measured from the moment the stand-in compositor has the node open.
        const qint64 grabbed = msUntilKeys(late, "late keyboard", false, 3000);
        QVERIFY2(grabbed >= 0, "a keyboard plugged in during the lock stayed free");
        reader.ask("reset");
        QCOMPARE(late.ask("type 5000"), "ok");
        QCOMPARE(keysSeen("late keyboard"), 0);
        QCOMPARE(client.ask("unlock"), "unlocked");
        QVERIFY(msUntilKeys(late, "late keyboard", true, 3000) >= 0);
        qInfo("keyboard plugged during the lock: grabbed %lld ms after the reader opened it",
              grabbed);
    }

    void comboReceiverKeepsItsPointerWhileItsKeysAreLocked()
    {
        GuestTool combo;
        QVERIFY(!plug(combo, "combo", "desk receiver").isEmpty());
        GuestTool client;
        startClient(client);
        QVERIFY(isLocked(client.ask("lock")));
        // The service's stand-in pointer for the receiver, once the compositor has it open.
        const QString forwarder = QStringLiteral("desk receiver (Tavimo)");
        QElapsedTimer clock;
        clock.start();
        while (counts().device(forwarder).node.isEmpty() && clock.elapsed() < 5000)
            QThread::msleep(50);
        QVERIFY2(!counts().device(forwarder).node.isEmpty(), "no pointer forwarded the receiver's");

        reader.ask("reset");
        QCOMPARE(combo.ask("type 2000"), "ok");
        QCOMPARE(combo.ask("move 1000"), "ok");
        QCOMPARE(combo.ask("click"), "ok");
        ReaderCounts seen = counts();
        QCOMPARE(seen.device("desk receiver").keys, 0);
        QCOMPARE(seen.device("desk receiver").motions, 0);
        QCOMPARE(seen.device(forwarder).keys, 0);
        QCOMPARE(seen.device(forwarder).motions, 1000);
        QCOMPARE(seen.device(forwarder).buttons, 2);

        QCOMPARE(client.ask("unlock"), "unlocked");
        QVERIFY(msUntilKeys(combo, "desk receiver", true, 3000) >= 0);
        reader.ask("reset");
        QCOMPARE(combo.ask("move 100"), "ok");
        seen = counts();
        QCOMPARE(seen.device("desk receiver").motions, 100);
        QCOMPARE(seen.device(forwarder).motions, 0);
    }

    void keyHeldAcrossLockAndUnlockIsNeverLeftDown()
    {
        // Held before the lock and let go while Lock() waits: the compositor sees both.
        QCOMPARE(keyboard.ask("down 30"), "ok");
        GuestTool client;
        startClient(client);
        client.send("lock");
        QThread::msleep(200);
        QCOMPARE(keyboard.ask("up 30"), "ok");
        QVERIFY(isLocked(client.nextLine(15000)));
        QCOMPARE(counts().device("desk keyboard").held, "-");

        // Pressed during the lock and let go just after unlock: the compositor sees neither.
        QCOMPARE(keyboard.ask("down 16"), "ok");
        reader.ask("reset");
        QCOMPARE(client.ask("unlock"), "unlocked");
        QThread::msleep(100);
        QCOMPARE(keyboard.ask("up 16"), "ok");
        QThread::msleep(700);
        const DeviceCount seen = counts().device("desk keyboard");
        QCOMPARE(seen.keys, 0);
        QCOMPARE(seen.held, "-");
        QVERIFY(msUntilKeys(keyboard, "desk keyboard", true, 3000) >= 0);
    }

    void keyboardHeldByAnotherProgramFailsTheLock()
    {
        GuestTool spare;
        QVERIFY(!plug(spare, "keyboard", "spare keyboard").isEmpty());
        GuestTool grabber;
        QCOMPARE(grabber.start(QStringLiteral(TAVIMO_OTHER_GRABBER), {keyboardNode}), "grabbed");
        GuestTool client;
        startClient(client);
        const QString answer = client.ask("lock");
        QVERIFY2(answer.startsWith("error " + QString(kBusy)), qPrintable(answer));
        // Nothing stays grabbed after the failure.
        QVERIFY(keystrokeReaches(spare, "spare keyboard"));
        grabber.finish();
        QVERIFY(keystrokeReaches(keyboard, "desk keyboard"));
        QVERIFY(isLocked(client.ask("lock")));
        QCOMPARE(client.ask("unlock"), "unlocked");
    }

    void lockEndsWithTheLastPointerAndIsRefusedWithoutOne()
    {
        GuestTool client;
        startClient(client);
        QVERIFY(isLocked(client.ask("lock")));
        mouse.finish();
        QCOMPARE(client.nextLine(5000), "ended");
        QVERIFY(msUntilKeys(keyboard, "desk keyboard", true, 3000) >= 0);
        QCOMPARE(client.ask("canlock"), "canlock no-pointer");
        const QString answer = client.ask("lock");
        QVERIFY2(answer.startsWith("error " + QString(kNoPointer)), qPrintable(answer));
        QVERIFY(keystrokeReaches(keyboard, "desk keyboard"));
    }

    void cleanupTestCase()
    {
        service.terminate();
        service.waitForFinished(10000);
    }
};

QTEST_GUILESS_MAIN(LockServiceGuestTest)
#include "LockServiceGuestTest.moc"
