// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Alert.h"
#include "app/MoveOffer.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMove = 0;
constexpr int kNotNow = 1;
constexpr char kSkip[] = "TAVIMO_SKIP_MOVE_PROMPT";

// Answers alerts from a script and remembers every alert shown.
struct ScriptedAlerts final : AlertPresenter {
    QList<int> answers;
    QList<Alert> shown;
    // Called as each alert is shown, to look at the world at that moment.
    std::function<void(const Alert&)> onShow;

    int run(const Alert& alert) override
    {
        shown.append(alert);
        if (onShow)
            onShow(alert);
        return answers.isEmpty() ? -1 : answers.takeFirst();
    }
};

void writeFile(const QString& path, const QByteArray& content, fs::perms perms)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    file.close();
    fs::permissions(path.toStdString(), perms);
}

// <folder>/Tavimo.app/Contents/MacOS/tavimo with an executable, a private file, a symbolic
// link and a read-only folder; returns the path of the executable.
QString makeBundle(const QString& folder)
{
    const QString root = QDir(folder).filePath("Tavimo.app");
    using P = fs::perms;
    writeFile(root + "/Contents/MacOS/tavimo", "#!/bin/sh\n",
              P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec);
    writeFile(root + "/Contents/Resources/TavimoIcon.icns", QByteArray(4096, 'i'),
              P::owner_read | P::owner_write);
    fs::create_directory_symlink("Resources", (root + "/Contents/Current").toStdString());
    writeFile(root + "/Contents/Sealed/readme", "sealed", P::owner_read);
    fs::permissions((root + "/Contents/Sealed").toStdString(), P::owner_read | P::owner_exec);
    return root + "/Contents/MacOS/tavimo";
}

// One line per item, sorted: relative path, permissions, content or link target.
QStringList describe(const QString& root)
{
    QStringList lines;
    std::error_code ec; // a missing root describes as nothing
    for (const auto& entry : fs::recursive_directory_iterator(root.toStdString(), ec)) {
        const fs::file_status status = fs::symlink_status(entry.path());
        QString line = QString::fromStdString(fs::relative(entry.path(), root.toStdString())) +
                       " " + QString::number(static_cast<int>(status.permissions()), 8) + " ";
        QFile file(QString::fromStdString(entry.path()));
        if (fs::is_symlink(status))
            line += "link->" + QString::fromStdString(fs::read_symlink(entry.path()));
        else if (fs::is_regular_file(status) && file.open(QIODevice::ReadOnly))
            line += QString::fromLatin1(file.readAll().toHex());
        lines.append(line);
    }
    lines.sort();
    return lines;
}

// What a folder holds, hidden items (a staging copy) included.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class MoveOfferTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess access;
    platform::FakeDesktop desktop;
    std::unique_ptr<QTemporaryDir> temp;
    ScriptedAlerts alerts;
    int completions = 0;
    int terminations = 0;

    QString applications() const { return temp->filePath("Applications"); }
    QString downloads() const { return temp->filePath("Downloads"); }
    QString installed() const { return applications() + "/Tavimo.app"; }

    void runOffer(const QString& executable, const QList<int>& answers,
                  const QString& applicationsFolder = {})
    {
        alerts.answers = answers;
        MoveOffer::Surroundings surroundings;
        surroundings.applicationsFolder =
            applicationsFolder.isEmpty() ? applications() : applicationsFolder;
        surroundings.executablePath = executable;
        surroundings.alertIcon = QIcon(QPixmap(16, 16));
        surroundings.alerts = &alerts;
        surroundings.terminate = [this] {
            ++terminations;
        };
        MoveOffer(surroundings).run([this] { ++completions; });
    }

private slots:
    void initTestCase() { platform::overrideForTesting(&access, &desktop); }
    void cleanupTestCase() { platform::overrideForTesting(nullptr, nullptr); }
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(applications()) && QDir().mkpath(downloads()));
        alerts = ScriptedAlerts();
        desktop.revealedFiles.clear();
        completions = terminations = 0;
        qunsetenv(kSkip);
    }
    void cleanup()
    {
        // Copied read-only folders must not stop the cleanup.
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(temp->path().toStdString(), ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        temp.reset();
    }

    // Skipped only for exactly "1". Offered only for a bundle outside "/Applications", by a
    // plain prefix test on paths that need not exist: a program outside a bundle (/usr/bin)
    // has no folder that may be copied, and its own, "bin", would otherwise replace an item
    // of that name. Not Now changes nothing (any attempt to copy these bundles would fail,
    // with an alert) and the offer comes again next time.
    void goesOnWithoutMoving_data()
    {
        QTest::addColumn<QByteArray>("skip"); // null: unset
        QTest::addColumn<QString>("executable");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("offered");
        const QString inBundle = "/Tavimo.app/Contents/MacOS/tavimo";
        const QString downloaded = "/home/me/Downloads" + inBundle;
        const auto row = [](const char* name, const QByteArray& skip, const QString& executable,
                            int answer, bool offered) {
            QTest::newRow(name) << skip << executable << answer << offered;
        };
        row("skip 1", "1", downloaded, kMove, false);
        row("skip 0", "0", downloaded, kNotNow, true);
        row("skip true", "true", downloaded, kNotNow, true);
        row("skip empty", "", downloaded, kNotNow, true);
        row("skip unset", {}, downloaded, kNotNow, true);
        row("in /Applications", {}, "/Applications" + inBundle, kMove, false);
        row("in a sibling sharing the prefix", {}, "/ApplicationsOld" + inBundle, kMove, false);
        row("in ~/Applications", {}, "/home/me/Applications" + inBundle, kNotNow, true);
        row("in /usr/bin", {}, "/usr/bin/tavimo", kMove, false);
        row("not a .app", {}, "/home/me/Tavimo/Contents/MacOS/tavimo", kMove, false);
    }
    void goesOnWithoutMoving()
    {
        QFETCH(QByteArray, skip);
        QFETCH(QString, executable);
        QFETCH(int, answer);
        QFETCH(bool, offered);
        if (!skip.isNull())
            qputenv(kSkip, skip);
        for (int launch = 1; launch <= 2; ++launch) {
            runOffer(executable, {answer}, QStringLiteral("/Applications"));
            QCOMPARE(alerts.shown.size(), offered ? launch : 0);
            QCOMPARE(completions, launch);
        }
        QCOMPARE(terminations, 0);
        QVERIFY(desktop.revealedFiles.isEmpty());
    }

    void movingCopiesRevealsThenQuits_data()
    {
        QTest::addColumn<bool>("replacing");
        QTest::newRow("new") << false;
        QTest::newRow("replacing an older copy") << true;
    }
    void movingCopiesRevealsThenQuits()
    {
        QFETCH(bool, replacing);
        const QString target = installed();
        const QString running = downloads() + "/Tavimo.app";
        if (replacing) {
            makeBundle(applications());
            writeFile(target + "/Contents/old-only", "old", fs::perms::owner_all);
        }
        const QString executable = makeBundle(downloads());
        const QStringList original = describe(running);
        QStringList revealedWhenAlerted;
        alerts.onShow = [&](const Alert&) {
            revealedWhenAlerted = desktop.revealedFiles;
        };

        runOffer(executable, {kMove, 0});

        QCOMPARE(completions, 0);
        QCOMPARE(terminations, 1);
        QCOMPARE(alerts.shown.size(), 2);
        const Alert& offer = alerts.shown.at(0);
        QCOMPARE(offer.messageText, QString("Move Tavimo to Applications?"));
        QCOMPARE(offer.informativeText,
                 QString("Tavimo works best from your Applications folder."));
        QCOMPARE(offer.style, Alert::Style::Informational);
        QCOMPARE(offer.buttons, (QStringList{"Move to Applications", "Not Now"}));
        QVERIFY(!offer.icon.isNull());
        const Alert& moved = alerts.shown.at(1);
        QCOMPARE(moved.messageText, QString("Moved to Applications"));
        QCOMPARE(moved.informativeText,
                 QString("Tavimo is now in your Applications folder — this copy will quit. "
                         "Open it from there from now on."));
        QCOMPARE(moved.style, Alert::Style::Informational);
        QCOMPARE(moved.buttons, QStringList{"Quit"});
        // The new copy is revealed before the success alert.
        QCOMPARE(revealedWhenAlerted, QStringList{target});
        // A faithful copy, nothing else left behind, the running copy untouched.
        QCOMPARE(describe(target), original);
        QCOMPARE(entries(applications()), QStringList{"Tavimo.app"});
        QCOMPARE(describe(running), original);
    }

    // A bundle holding something that cannot be copied (a named pipe): the installed copy
    // stays as it was, no half copy is left, and the alert says which file failed.
    void failingCopyKeepsTheInstalledCopyAndShowsTheError()
    {
        makeBundle(applications());
        const QStringList installedBefore = describe(installed());
        const QString executable = makeBundle(downloads());
        const QString pipe = downloads() + "/Tavimo.app/Contents/Resources/zz-pipe";
        QCOMPARE(mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);

        runOffer(executable, {kMove, 0});

        QCOMPARE(alerts.shown.size(), 2);
        const Alert& failed = alerts.shown.at(1);
        QCOMPARE(failed.messageText, QString("Couldn't move to Applications"));
        QCOMPARE(failed.style, Alert::Style::Warning);
        QCOMPARE(failed.buttons, QStringList());
        QVERIFY(failed.informativeText.contains(pipe));
        QCOMPARE(completions, 1);
        QCOMPARE(terminations, 0);
        QVERIFY(desktop.revealedFiles.isEmpty());
        QCOMPARE(describe(installed()), installedBefore);
        QCOMPARE(entries(applications()), QStringList{"Tavimo.app"});
    }
};

QTEST_MAIN(MoveOfferTest)
#include "MoveOfferTest.moc"
