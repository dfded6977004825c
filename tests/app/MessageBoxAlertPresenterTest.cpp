#include "app/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

namespace {

// What the box's labels put on screen, as plain text.
QStringList shownTexts(QMessageBox* box)
{
    QStringList texts;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        QTextDocument document;
        if (label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
            document.setHtml(label->text());
        else
            document.setPlainText(label->text());
        texts.append(document.toPlainText());
    }
    return texts;
}

struct Shown {
    QStringList texts;
    QString defaultButton;
    QStringList buttons;
    bool customIcon = false;
};

// Records the next message box once it is up, then answers it: presses Escape, or clicks
// the button named `click` (the first one when none is).
void answerNextBox(Shown& shown, const QString& click)
{
    QTimer::singleShot(10, [&shown, click] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return answerNextBox(shown, click);
        shown.texts = shownTexts(box);
        shown.customIcon = box->icon() == QMessageBox::NoIcon && !box->iconPixmap().isNull();
        if (box->defaultButton())
            shown.defaultButton = box->defaultButton()->text();
        QAbstractButton* chosen = box->buttons().value(0);
        for (QAbstractButton* button : box->buttons()) {
            shown.buttons.append(button->text());
            if (button->text() == click)
                chosen = button;
        }
        if (click == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else if (chosen)
            chosen->click();
    });
}

} // namespace

class MessageBoxAlertPresenterTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheAlertAndReportsTheAnswer_data()
    {
        QTest::addColumn<bool>("failure");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << false << "Move to Applications" << 0;
        QTest::newRow("second") << false << "Not Now" << 1;
        QTest::newRow("Escape means the last") << false << "Escape" << 1;
        QTest::newRow("no buttons of ours") << true << "OK" << -1;
    }
    // Alerts come before the main window exists: answering one inside the running event
    // loop must not end the application. A file name that looks like markup is shown as
    // it is.
    void showsTheAlertAndReportsTheAnswer()
    {
        QFETCH(bool, failure);
        QFETCH(QString, answer);
        QFETCH(int, expected);
        Alert alert;
        if (failure) {
            alert.messageText = QStringLiteral("Couldn't move to Applications");
            alert.informativeText =
                QStringLiteral("Couldn’t copy “/tmp/<b>x</b> & y”: Permission denied.");
            alert.style = Alert::Style::Warning;
        } else {
            QPixmap pixmap(32, 32);
            pixmap.fill(Qt::blue);
            alert.icon = QIcon(pixmap);
            alert.messageText = QStringLiteral("Move Tavimo to Applications?");
            alert.informativeText =
                QStringLiteral("Tavimo works best from your Applications folder.");
            alert.buttons = {QStringLiteral("Move to Applications"), QStringLiteral("Not Now")};
        }
        QApplication::setQuitOnLastWindowClosed(true);
        int result = -2;
        Shown shown;
        QTimer::singleShot(0, [&] {
            answerNextBox(shown, answer);
            result = MessageBoxAlertPresenter().run(alert);
            QTimer::singleShot(100, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QApplication::exec(), 7);
        QCOMPARE(result, expected);
        QVERIFY2(shown.texts.contains(alert.messageText) &&
                     shown.texts.contains(alert.informativeText),
                 qPrintable(shown.texts.join('|')));
        QCOMPARE(shown.customIcon, !failure);
        shown.buttons.sort();
        if (failure) {
            QCOMPARE(shown.buttons.size(), 1);
        } else {
            QCOMPARE(shown.defaultButton, QString("Move to Applications"));
            QCOMPARE(shown.buttons, (QStringList{"Move to Applications", "Not Now"}));
        }
    }
};

QTEST_MAIN(MessageBoxAlertPresenterTest)
#include "MessageBoxAlertPresenterTest.moc"
