#include "platform/linux/KeyboardAccessHelp.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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
    static QPushButton* authenticateButton(QMessageBox* box)
    {
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QStringLiteral("Authenticate\u2026"))
                return qobject_cast<QPushButton*>(button);
        }
        return nullptr;
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
        QVERIFY(!authenticateButton(box));
        box->close(); // deletes itself; the next call opens a fresh one
        QTRY_COMPARE(openBoxes().size(), 0);
        platform::showKeyboardAccessHelp(AccessProblem::None);
        QCOMPARE(openBoxes().size(), 1);
        openBoxes().first()->close();
    }

    void missingAuthenticationOffersToAskAgainOnce()
    {
        int asked = 0;
        platform::showKeyboardAccessHelp(AccessProblem::NeedsAuthentication, [&] { ++asked; });
        platform::showKeyboardAccessHelp(AccessProblem::NeedsAuthentication, [&] { ++asked; });
        QCOMPARE(openBoxes().size(), 1);
        QMessageBox* box = openBoxes().first();
        QPushButton* authenticate = authenticateButton(box);
        QVERIFY(authenticate);
        QCOMPARE(box->buttons().size(), 2); // OK and one Authenticate
        authenticate->click();
        QCOMPARE(asked, 1);
        QTRY_COMPARE(openBoxes().size(), 0);
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
