#include "platform/linux/KeyboardAccessHelp.h"

#include <QMessageBox>
#include <QPointer>

namespace platform {

void showKeyboardAccessHelp()
{
    static QPointer<QMessageBox> box;
    if (!box) {
        box =
            new QMessageBox(QMessageBox::Information, QStringLiteral("Keyboard access"),
                            QStringLiteral("Tavimo can lock the keyboard only in an X11 session."),
                            QMessageBox::Ok);
        box->setInformativeText(QStringLiteral(
            "In a Wayland session, other programs would keep receiving your keys. Log out, "
            "choose an X11 session (such as \u201cGNOME on Xorg\u201d) at the login screen, and "
            "open Tavimo again."));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
    }
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace platform
