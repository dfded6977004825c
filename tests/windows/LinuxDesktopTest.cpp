// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/ReducedMotion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// What the Linux desktop layer reads of the desktop's settings. GNOME's setting comes
// from GSettings' key-file backend in a configuration folder of the test's own (set
// up in main, before GIO reads it); the run without schemas is a second CTest entry.
class LinuxDesktopTest : public QObject {
    Q_OBJECT

private slots:
    void kdeAnimationsAreOffOnlyAtAFactorOfZero()
    {
        const QList<QPair<QByteArray, bool>> cases{
            {"[KDE]\nAnimationDurationFactor=0\n", true},
            {"[KDE]\nAnimationDurationFactor=0.5\n", false},
            {"[General]\nAnimationDurationFactor=0\n", false},
            {"\x01\x02 not an ini file", false}};
        QTemporaryDir dir;
        for (int i = 0; i < cases.size(); ++i) {
            // A file of its own for each: QSettings caches a file until its time stamp changes.
            QFile file(dir.filePath(QString::number(i)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(cases[i].first) > 0);
            file.close();
            QCOMPARE(platform::kdeAnimationsOff(file.fileName()), cases[i].second);
        }
        QVERIFY(!platform::kdeAnimationsOff(dir.filePath(QStringLiteral("missing"))));
        QCOMPARE(
            platform::kdeglobalsPath(),
            QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("kdeglobals")));
    }

    void gnomeAnimationsSwitchedOffMeanReducedMotion()
    {
        QCOMPARE(platform::gnomeAnimationsEnabled(), std::optional<bool>(false));
        QVERIFY(platform::LinuxDesktop().prefersReducedMotion());
    }

    // Run alone with no schema installed: opening a missing schema would abort.
    void withoutTheGnomeSchemaTheSettingIsUnknown()
    {
        QCOMPARE(platform::gnomeAnimationsEnabled(), std::optional<bool>());
        QVERIFY(!platform::LinuxDesktop().prefersReducedMotion());
    }
};

int main(int argc, char** argv)
{
    // A configuration folder of our own, with GNOME's animations switched off in the
    // key file GSettings' key-file backend reads.
    static QTemporaryDir config;
    if (!config.isValid())
        qFatal("no temporary folder");
    QDir(config.path()).mkpath(QStringLiteral("glib-2.0/settings"));
    QFile keyfile(config.filePath(QStringLiteral("glib-2.0/settings/keyfile")));
    if (!keyfile.open(QIODevice::WriteOnly))
        qFatal("cannot write the GSettings key file");
    keyfile.write("[org/gnome/desktop/interface]\nenable-animations=false\n");
    keyfile.close();
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("GSETTINGS_BACKEND", "keyfile");

    QCoreApplication app(argc, argv);
    LinuxDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LinuxDesktopTest.moc"
