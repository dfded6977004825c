// SPDX-License-Identifier: GPL-3.0-or-later

#include "GuestTool.h"

#include <QFile>
#include <QProcess>
#include <QTest>

// What the keyboard-lock tests stand on, on a real kernel: virtual devices behave like
// plugged ones, the stand-in compositor sees all they send, and a kernel grab hides
// them from it.
class KernelGuestTest : public QObject {
    Q_OBJECT

private:
    GuestTool reader;

    static QString udevProperties(const QString& node)
    {
        QProcess udevadm;
        udevadm.start(QStringLiteral("udevadm"),
                      {QStringLiteral("info"), QStringLiteral("--query=property"), node});
        udevadm.waitForFinished(10000);
        return QString::fromUtf8(udevadm.readAllStandardOutput());
    }

    ReaderCounts counts() { return ReaderCounts(reader.askUntil("count", "end")); }

    // A virtual device the reader has opened; returns its node, or "" on failure.
    QString plug(GuestTool& device, const char* kind, const QString& name)
    {
        return plugVirtualDevice(device, reader, kind, name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral("/dev/uinput")),
                 "no /dev/uinput: this test runs inside the guest (run-in-guest.sh)");
        QCOMPARE(reader.start(QStringLiteral(TAVIMO_EVDEV_READER)), QStringLiteral("ready"));
    }

    void everyKeyAndMotionOfVirtualDevicesReachesTheReader()
    {
        GuestTool keyboard;
        const QString node = plug(keyboard, "keyboard", "guest keyboard");
        QVERIFY(!node.isEmpty());
        // udevd classifies it as it would a USB keyboard.
        const QString properties = udevProperties(node);
        QVERIFY2(properties.contains("ID_INPUT_KEYBOARD=1"), qPrintable(properties));
        GuestTool mouse;
        QVERIFY(!plug(mouse, "mouse", "guest mouse").isEmpty());
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        QCOMPARE(mouse.ask("move 2000"), "ok");
        const ReaderCounts seen = counts();
        QCOMPARE(seen.device("guest keyboard").keys, 10000);
        QCOMPARE(seen.device("guest mouse").motions, 2000);
    }

    void anotherProgramsGrabHidesTheKeyboardUntilItEnds()
    {
        GuestTool keyboard;
        const QString node = plug(keyboard, "keyboard", "grabbed keyboard");
        GuestTool grabber;
        QCOMPARE(grabber.start(QStringLiteral(TAVIMO_OTHER_GRABBER), {node}), "grabbed");
        GuestTool second;
        QCOMPARE(second.start(QStringLiteral(TAVIMO_OTHER_GRABBER), {node}),
                 "error Device or resource busy");

        reader.ask("reset");
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        QCOMPARE(counts().device("grabbed keyboard").keys, 0);
        grabber.finish();
        QCOMPARE(keyboard.ask("type 5000"), "ok");
        QCOMPARE(counts().device("grabbed keyboard").keys, 10000);
    }
};

QTEST_GUILESS_MAIN(KernelGuestTest)
#include "KernelGuestTest.moc"
