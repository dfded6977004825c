// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

class MessageBoxAlertPresenterTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheAlertAndReportsTheAnswer_data()
    {
        QTest::addColumn<bool>("failure");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << false << "Move to Applications" << 0;
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
        alert.messageText = QStringLiteral("Couldn't move to Applications");
        alert.informativeText = QStringLiteral("Couldn’t copy “/tmp/<b>x</b> & y”: Denied.");
        if (failure) {
            alert.style = Alert::Style::Warning;
        } else {
            QPixmap pixmap(32, 32);
            pixmap.fill(Qt::blue);
            alert.icon = QIcon(pixmap);
            alert.buttons = {QStringLiteral("Move to Applications"), QStringLiteral("Not Now")};
        }
        QApplication::setQuitOnLastWindowClosed(true);
        int result = -2;
        QStringList texts; // what the box's labels put on screen, as plain text
        QString defaultButton;
        bool customIcon = false;
        std::function<void()> answerOnceUp = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return QTimer::singleShot(10, answerOnceUp);
            for (QLabel* label : box->findChildren<QLabel*>()) {
                QTextDocument document;
                if (label->textFormat() == Qt::RichText ||
                    (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
                    document.setHtml(label->text());
                else
                    document.setPlainText(label->text());
                texts.append(document.toPlainText());
            }
            customIcon = box->icon() == QMessageBox::NoIcon && !box->iconPixmap().isNull();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QAbstractButton* chosen = box->buttons().value(0);
            for (QAbstractButton* button : box->buttons())
                chosen = button->text() == answer ? button : chosen;
            if (answer == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                chosen->click();
        };
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(10, answerOnceUp);
            result = MessageBoxAlertPresenter().run(alert);
            QTimer::singleShot(100, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QApplication::exec(), 7);
        QCOMPARE(result, expected);
        QVERIFY(texts.contains(alert.messageText) && texts.contains(alert.informativeText));
        QCOMPARE(customIcon, !failure);
        if (!failure)
            QCOMPARE(defaultButton, QString("Move to Applications"));
    }
};

QTEST_MAIN(MessageBoxAlertPresenterTest)
#include "MessageBoxAlertPresenterTest.moc"
