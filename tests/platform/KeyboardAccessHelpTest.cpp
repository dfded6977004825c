#include "platform/linux/KeyboardAccessHelp.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

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
    void showsOneNonModalBoxExplainingTheX11Session()
    {
        platform::showKeyboardAccessHelp();
        platform::showKeyboardAccessHelp(); // asking again brings back the same box
        QCOMPARE(openBoxes().size(), 1);
        QMessageBox* box = openBoxes().first();
        QCOMPARE(box->text(),
                 QStringLiteral("Tavimo can lock the keyboard only in an X11 session."));
        QVERIFY(!box->isModal());
        box->close(); // deletes itself; the next call opens a fresh one
        QTRY_COMPARE(openBoxes().size(), 0);
        platform::showKeyboardAccessHelp();
        QCOMPARE(openBoxes().size(), 1);
    }
};

QTEST_MAIN(KeyboardAccessHelpTest)
#include "KeyboardAccessHelpTest.moc"
