// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/KeyboardAccessHelp.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

using platform::AccessProblem;

class KeyboardAccessHelpTest : public QObject {
    Q_OBJECT

private:
    static QList<QMessageBox*> openBoxes()
    {
        QList<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                boxes.append(box);
        }
        return boxes;
    }

private slots:
    void oneNonModalBoxSaysWhatIsMissingNow()
    {
        platform::showKeyboardAccessHelp(AccessProblem::KeyboardHeldElsewhere);
        // Asking again brings back the same box, saying what is missing now.
        platform::showKeyboardAccessHelp(AccessProblem::NoX11Session);
        QCOMPARE(openBoxes().size(), 1);
        QMessageBox* box = openBoxes().first();
        QCOMPARE(box->text(), platform::keyboardAccessHelpText(AccessProblem::NoX11Session).text);
        QVERIFY(box->informativeText().contains(QStringLiteral("tavimo-lockd")));
        QVERIFY(!box->isModal());
        box->close(); // deletes itself; the next call opens a fresh one
        QTRY_COMPARE(openBoxes().size(), 0);
        // Offered twice, the way to ask again is still one button beside OK.
        platform::showKeyboardAccessHelp(AccessProblem::NeedsAuthentication, [] {});
        platform::showKeyboardAccessHelp(AccessProblem::NeedsAuthentication, [] {});
        QCOMPARE(openBoxes().size(), 1);
        QCOMPARE(openBoxes().first()->buttons().size(), 2);
        openBoxes().first()->close();
    }

    // Every problem has its own words: none falls through to another's.
    void everyProblemHasItsOwnText()
    {
        QStringList texts;
        for (int p = int(AccessProblem::None); p <= int(AccessProblem::Failed); ++p)
            texts.append(platform::keyboardAccessHelpText(AccessProblem(p)).text);
        QCOMPARE(QSet<QString>(texts.begin(), texts.end()).size(), texts.size());
    }
};

QTEST_MAIN(KeyboardAccessHelpTest)
#include "KeyboardAccessHelpTest.moc"
