#include "BundleTree.h"
#include "ScriptedAlerts.h"
#include "app/AppBundle.h"
#include "app/MoveOffer.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace platform;

namespace {

constexpr int kMove = 0;
constexpr int kNotNow = 1;
constexpr char kSkip[] = "TAVIMO_SKIP_MOVE_PROMPT";

} // namespace

class MoveOfferTest : public QObject {
    Q_OBJECT

private:
    FakeKeyboardAccess* access = nullptr;
    FakeDesktop* desktop = nullptr;
    QTemporaryDir* temp = nullptr;
    ScriptedAlerts alerts;
    int completions = 0;
    int terminations = 0;

    QString applications() const { return temp->filePath("Applications"); }
    QString downloads() const { return temp->filePath("Downloads"); }
    QString installed() const { return applications() + "/Tavimo.app"; }

    // Runs the offer for an executable, answering the alerts with `answers`.
    void runOffer(const QString& executable, QList<int> answers,
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

    void verifyWentOnWithoutMoving()
    {
        QCOMPARE(completions, 1);
        QCOMPARE(terminations, 0);
        QVERIFY(desktop->revealedFiles.isEmpty());
    }

private slots:
    void init()
    {
        access = new FakeKeyboardAccess;
        desktop = new FakeDesktop;
        overrideForTesting(access, desktop);
        temp = new QTemporaryDir;
        QVERIFY(temp->isValid());
        QVERIFY(QDir().mkpath(applications()));
        QVERIFY(QDir().mkpath(downloads()));
        alerts = ScriptedAlerts();
        completions = terminations = 0;
        qunsetenv(kSkip);
    }
    void cleanup()
    {
        qunsetenv(kSkip);
        overrideForTesting(nullptr, nullptr);
        delete access;
        delete desktop;
        // Read-only folders of copied bundles must not stop the cleanup.
        BundleTree::makeWritable(temp->path());
        delete temp;
    }

    // --- The skip switch -----------------------------------------------------------

    void skipSwitch_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("offered");
        QTest::newRow("exactly 1 skips") << true << QByteArray("1") << false;
        QTest::newRow("0 does not skip") << true << QByteArray("0") << true;
        QTest::newRow("true does not skip") << true << QByteArray("true") << true;
        QTest::newRow("empty does not skip") << true << QByteArray("") << true;
        QTest::newRow("1 with a space does not skip") << true << QByteArray("1 ") << true;
        QTest::newRow("unset does not skip") << false << QByteArray() << true;
    }
    void skipSwitch()
    {
        QFETCH(bool, set);
        QFETCH(QByteArray, value);
        QFETCH(bool, offered);
        if (set)
            qputenv(kSkip, value);
        runOffer(BundleTree::makeBundle(downloads()), {kNotNow});
        QCOMPARE(alerts.shown.size(), offered ? 1 : 0);
        verifyWentOnWithoutMoving();
        QCOMPARE(BundleTree::entries(applications()), QStringList());
    }

    // --- Where the program runs from ----------------------------------------------

    void installedLocation_data()
    {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<bool>("offered");
        QTest::newRow("in /Applications") << "/Applications/Tavimo.app" << false;
        QTest::newRow("in a subfolder") << "/Applications/Utilities/Tavimo.app" << false;
        QTest::newRow("in a sibling sharing the prefix") << "/ApplicationsOld/Tavimo.app" << false;
        QTest::newRow("in the home Applications folder")
            << "/home/me/Applications/Tavimo.app" << true;
        QTest::newRow("in Downloads") << "/home/me/Downloads/Tavimo.app" << true;
        QTest::newRow("at the root") << "/Tavimo.app" << true;
    }
    // A plain prefix test against "/Applications", on paths that need not exist.
    void installedLocation()
    {
        QFETCH(QString, bundle);
        QFETCH(bool, offered);
        runOffer(bundle + "/Contents/MacOS/tavimo", {kNotNow}, QStringLiteral("/Applications"));
        QCOMPARE(alerts.shown.size(), offered ? 1 : 0);
        verifyWentOnWithoutMoving();
    }

    void noBundleNoOffer_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::newRow("installed system-wide") << "/usr/bin/tavimo";
        QTest::newRow("in a build folder") << "/home/me/tavimo/build/src/app/tavimo";
        QTest::newRow("directly in a .app folder") << "/home/me/Tavimo.app/tavimo";
        QTest::newRow("MacOS folder outside Contents") << "/home/me/Tavimo.app/MacOS/tavimo";
        QTest::newRow("Contents of a folder not ending in .app")
            << "/home/me/Tavimo/Contents/MacOS/tavimo";
        QTest::newRow("a folder named only .app") << "/home/me/.app/Contents/MacOS/tavimo";
        QTest::newRow("no path at all") << "";
    }
    // A program outside a bundle has no folder that may be copied: the offer would
    // otherwise copy its folder (say "bin") over an item of that name.
    void noBundleNoOffer()
    {
        QFETCH(QString, executable);
        runOffer(executable, {kMove});
        QCOMPARE(alerts.shown.size(), 0);
        verifyWentOnWithoutMoving();
    }
    void bareExecutableFolderIsNeverCopied()
    {
        const QString bin = temp->filePath("usr/bin");
        BundleTree::writeFile(bin + "/tavimo", "program", std::filesystem::perms::owner_all);
        BundleTree::writeFile(applications() + "/bin/keep", "other",
                              std::filesystem::perms::owner_all);
        runOffer(bin + "/tavimo", {kMove});
        QCOMPARE(alerts.shown.size(), 0);
        verifyWentOnWithoutMoving();
        QCOMPARE(BundleTree::entries(applications() + "/bin"), QStringList{"keep"});
    }

    void bundleFoundFromItsExecutable()
    {
        QCOMPARE(AppBundle::containing("/home/me/Tavimo.app/Contents/MacOS/tavimo"),
                 std::optional<QString>("/home/me/Tavimo.app"));
        QCOMPARE(AppBundle::containing("/home/me/x/../Tavimo.app/Contents/MacOS/tavimo"),
                 std::optional<QString>("/home/me/Tavimo.app"));
        QCOMPARE(AppBundle::containing("/usr/bin/tavimo"), std::nullopt);
    }

    // --- The offer ----------------------------------------------------------------

    void offerAsksWithTheIconAndTwoButtons()
    {
        runOffer(BundleTree::makeBundle(downloads()), {kNotNow});
        QCOMPARE(alerts.shown.size(), 1);
        const Alert& offer = alerts.shown.first();
        QCOMPARE(offer.messageText, QString("Move Tavimo to Applications?"));
        QCOMPARE(offer.informativeText,
                 QString("Tavimo works best from your Applications folder."));
        QCOMPARE(offer.style, Alert::Style::Informational);
        QCOMPARE(offer.buttons, (QStringList{"Move to Applications", "Not Now"}));
        QVERIFY(!offer.icon.isNull());
    }

    void declining_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Not Now") << kNotNow;
        QTest::newRow("dismissed") << -1;
    }
    // Nothing is touched; the offer comes again at the next launch.
    void declining()
    {
        QFETCH(int, answer);
        const QString executable = BundleTree::makeBundle(downloads());
        const QStringList before = BundleTree::describe(downloads());
        for (int launch = 1; launch <= 2; ++launch) {
            runOffer(executable, {answer});
            QCOMPARE(alerts.shown.size(), launch);
            QCOMPARE(completions, launch);
        }
        QCOMPARE(terminations, 0);
        QCOMPARE(BundleTree::entries(applications()), QStringList());
        QCOMPARE(BundleTree::describe(downloads()), before);
        QVERIFY(desktop->revealedFiles.isEmpty());
    }

    // --- Moving -------------------------------------------------------------------

    void movingCopiesRevealsThenQuits()
    {
        const QString executable = BundleTree::makeBundle(downloads());
        const QString bundle = downloads() + "/Tavimo.app";
        const QStringList original = BundleTree::describe(bundle);
        QStringList revealedWhenSuccessShown;
        alerts.onShow = [&](const Alert&) {
            revealedWhenSuccessShown = desktop->revealedFiles;
        };

        runOffer(executable, {kMove, 0});

        QCOMPARE(completions, 0);
        QCOMPARE(terminations, 1);
        QCOMPARE(alerts.shown.size(), 2);
        const Alert& moved = alerts.shown.at(1);
        QCOMPARE(moved.messageText, QString("Moved to Applications"));
        QCOMPARE(moved.informativeText,
                 QString("Tavimo is now in your Applications folder — this copy will quit. "
                         "Open it from there from now on."));
        QVERIFY(moved.informativeText.contains(QChar(0x2014)));
        QCOMPARE(moved.style, Alert::Style::Informational);
        QCOMPARE(moved.buttons, QStringList{"Quit"});
        // Revealed before the success alert, exactly the new copy.
        QCOMPARE(revealedWhenSuccessShown, QStringList{installed()});
        QCOMPARE(desktop->revealedFiles, QStringList{installed()});
        // A faithful copy (permissions, links, read-only folders), nothing else left
        // behind, and the running copy untouched.
        QCOMPARE(BundleTree::describe(installed()), original);
        QCOMPARE(BundleTree::entries(applications()), QStringList{"Tavimo.app"});
        QCOMPARE(BundleTree::describe(bundle), original);
    }

    void quitsWhateverTheSuccessAlertAnswers()
    {
        runOffer(BundleTree::makeBundle(downloads()), {kMove, -1});
        QCOMPARE(terminations, 1);
        QCOMPARE(completions, 0);
    }

    void bundleKeepsItsOwnName()
    {
        runOffer(BundleTree::makeBundle(downloads(), "Tavimo Beta.app"), {kMove, 0});
        QCOMPARE(BundleTree::entries(applications()), QStringList{"Tavimo Beta.app"});
        QCOMPARE(desktop->revealedFiles, QStringList{applications() + "/Tavimo Beta.app"});
    }

    void replacing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("an older bundle") << "bundle";
        QTest::newRow("a plain file") << "file";
        QTest::newRow("a dangling link") << "link";
    }
    void replacing()
    {
        QFETCH(QString, kind);
        if (kind == "bundle") {
            BundleTree::makeBundle(applications());
            BundleTree::writeFile(installed() + "/Contents/old-only", "old",
                                  std::filesystem::perms::owner_all);
        } else if (kind == "file") {
            BundleTree::writeFile(installed(), "file", std::filesystem::perms::owner_all);
        } else {
            std::filesystem::create_symlink("/nonexistent/Tavimo.app", installed().toStdString());
        }
        const QString executable = BundleTree::makeBundle(downloads());
        runOffer(executable, {kMove, 0});

        QCOMPARE(terminations, 1);
        QCOMPARE(completions, 0);
        QCOMPARE(BundleTree::describe(installed()),
                 BundleTree::describe(downloads() + "/Tavimo.app"));
        QCOMPARE(BundleTree::entries(applications()), QStringList{"Tavimo.app"});
    }

    // --- Failures -----------------------------------------------------------------

    // A bundle holding something that cannot be copied (a named pipe): the installed copy
    // stays as it was, no half copy is left, and the alert says which file failed.
    void failingCopyKeepsTheInstalledCopy()
    {
        BundleTree::makeBundle(applications());
        const QStringList installedBefore = BundleTree::describe(installed());
        const QString executable = BundleTree::makeBundle(downloads());
        const QString pipe = downloads() + "/Tavimo.app/Contents/Resources/zz-pipe";
        QCOMPARE(mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);

        runOffer(executable, {kMove, 0});

        QCOMPARE(alerts.shown.size(), 2);
        const Alert& failed = alerts.shown.at(1);
        QCOMPARE(failed.messageText, QString("Couldn't move to Applications"));
        QCOMPARE(failed.style, Alert::Style::Warning);
        QCOMPARE(failed.buttons, QStringList());
        QVERIFY2(failed.informativeText.contains(pipe), qPrintable(failed.informativeText));
        verifyWentOnWithoutMoving();
        QCOMPARE(BundleTree::describe(installed()), installedBefore);
        QCOMPARE(BundleTree::entries(applications()), QStringList{"Tavimo.app"});
    }

    void missingApplicationsFolderIsReported()
    {
        const QString missing = temp->filePath("NoSuchFolder");
        runOffer(BundleTree::makeBundle(downloads()), {kMove, 0}, missing);
        QCOMPARE(alerts.shown.size(), 2);
        QCOMPARE(alerts.shown.at(1).style, Alert::Style::Warning);
        QVERIFY2(alerts.shown.at(1).informativeText.contains(missing),
                 qPrintable(alerts.shown.at(1).informativeText));
        verifyWentOnWithoutMoving();
        QVERIFY(!QFileInfo::exists(missing));
    }
};

QTEST_MAIN(MoveOfferTest)
#include "MoveOfferTest.moc"
