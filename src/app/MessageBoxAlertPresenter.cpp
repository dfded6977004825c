// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MessageBoxAlertPresenter.h"

#include <QAbstractButton>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

namespace {

constexpr int kIconSize = 64;

QMessageBox::Icon standardIconFor(Alert::Style style)
{
    return style == Alert::Style::Warning ? QMessageBox::Warning : QMessageBox::Information;
}

} // namespace

int MessageBoxAlertPresenter::run(const Alert& alert)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Tavimo"));
    // Both texts go in escaped: the informative label guesses rich text by itself, and an
    // error naming a file such as "<b>.txt" must show that name, not bold text.
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<b>%1</b>").arg(alert.messageText.toHtmlEscaped()));
    box.setInformativeText(Qt::convertFromPlainText(alert.informativeText));
    if (alert.icon.isNull())
        box.setIcon(standardIconFor(alert.style));
    else
        box.setIconPixmap(alert.icon.pixmap(kIconSize, kIconSize));
    // Shown before the main window exists: closing the last alert must not end the
    // application while the main event loop runs.
    box.setAttribute(Qt::WA_QuitOnClose, false);

    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < alert.buttons.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons.append(box.addButton(alert.buttons.at(i), role));
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
        box.setEscapeButton(buttons.last());
    }

    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}
