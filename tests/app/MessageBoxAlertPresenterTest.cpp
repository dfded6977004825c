#include "app/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

// What a label showing `text` puts on screen, as plain text.
QString shownText(QMessageBox* box, const QString& text)
{
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text() != text)
            continue;
        const bool rich = label->textFormat() == Qt::RichText ||
                          (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        if (!rich)
            return text;
        QTextDocument document;
        document.setHtml(text);
        return document.toPlainText();
    }
    return QStringLiteral("(no label shows it)");
}

// Answers the next message box by clicking the button with the given text, after
// recording what the box showed.
struct Answerer {
    explicit Answerer(QString text) : buttonText(std::move(text)) {}

    QString buttonText;
    QStringList buttonsShown;
    QString defaultButton;
    QString text;
    QString informativeText;
    bool hasCustomIcon = false;
    bool quitsOnClose = true;

    void answerSoon()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                answerSoon();
                return;
            }
            text = shownText(box, box->text());
            informativeText = shownText(box, box->informativeText());
            hasCustomIcon = box->icon() == QMessageBox::NoIcon && !box->iconPixmap().isNull();
            quitsOnClose = box->testAttribute(Qt::WA_QuitOnClose);
            if (box->defaultButton())
                defaultButton = box->defaultButton()->text();
            // Buttons in the order the layout shows them, left to right.
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            QAbstractButton* chosen = buttons.value(0);
            for (QAbstractButton* button : buttons) {
                buttonsShown.append(button->text());
                if (button->text() == buttonText)
                    chosen = button;
            }
            // Never leaves the test hanging: without a match the first button answers,
            // and the checks on buttonsShown tell.
            if (chosen)
                chosen->click();
        });
    }
};

class MessageBoxAlertPresenterTest : public QObject {
    Q_OBJECT

private:
    static Alert offer()
    {
        Alert alert;
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::blue);
        alert.icon = QIcon(pixmap);
        alert.messageText = QStringLiteral("Move Tavimo to Applications?");
        alert.informativeText = QStringLiteral("Tavimo works best from your Applications folder.");
        alert.buttons = {QStringLiteral("Move to Applications"), QStringLiteral("Not Now")};
        return alert;
    }

private slots:
    void showsTheAlertAndReportsTheChosenButton_data()
    {
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << "Move to Applications" << 0;
        QTest::newRow("second") << "Not Now" << 1;
    }
    void showsTheAlertAndReportsTheChosenButton()
    {
        QFETCH(QString, click);
        QFETCH(int, expected);
        Answerer answerer(click);
        answerer.answerSoon();
        MessageBoxAlertPresenter presenter;
        QCOMPARE(presenter.run(offer()), expected);
        QCOMPARE(answerer.text, QString("Move Tavimo to Applications?"));
        QCOMPARE(answerer.informativeText,
                 QString("Tavimo works best from your Applications folder."));
        QVERIFY(answerer.hasCustomIcon);
        QCOMPARE(answerer.defaultButton, QString("Move to Applications"));
        QCOMPARE(answerer.buttonsShown.size(), 2);
        QVERIFY(answerer.buttonsShown.contains("Move to Applications"));
        QVERIFY(answerer.buttonsShown.contains("Not Now"));
    }

    void escapeMeansTheLastButton()
    {
        QTimer::singleShot(0, [] {
            QTimer::singleShot(
                50, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        });
        MessageBoxAlertPresenter presenter;
        QCOMPARE(presenter.run(offer()), 1);
    }

    void alertWithoutButtonsGetsOneAndReportsNone()
    {
        Alert failure;
        failure.messageText = QStringLiteral("Couldn't move to Applications");
        // A file name that looks like markup is shown as it is.
        failure.informativeText =
            QStringLiteral("Couldn’t copy “/tmp/<b>x</b> & y”: Permission denied.");
        failure.style = Alert::Style::Warning;
        Answerer answerer(QString{});
        answerer.answerSoon();
        MessageBoxAlertPresenter presenter;
        QCOMPARE(presenter.run(failure), -1);
        QCOMPARE(answerer.buttonsShown.size(), 1);
        QCOMPARE(answerer.informativeText, failure.informativeText);
    }

    // Alerts come before the main window exists: answering one inside the running event
    // loop must not end the application.
    void answeringAnAlertNeverQuits()
    {
        QApplication::setQuitOnLastWindowClosed(true);
        int answer = -2;
        Answerer answerer(QStringLiteral("Not Now"));
        QTimer::singleShot(0, [&] {
            answerer.answerSoon();
            answer = MessageBoxAlertPresenter().run(offer());
            QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QApplication::exec(), 7);
        QCOMPARE(answer, 1);
        QVERIFY(!answerer.quitsOnClose);
    }
};

QTEST_MAIN(MessageBoxAlertPresenterTest)
#include "MessageBoxAlertPresenterTest.moc"
