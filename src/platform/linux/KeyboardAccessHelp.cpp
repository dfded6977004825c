// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/KeyboardAccessHelp.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace platform {

KeyboardAccessHelpText keyboardAccessHelpText(AccessProblem problem)
{
    switch (problem) {
    case AccessProblem::None:
        return {QStringLiteral("Tavimo can lock the keyboard now."),
                QStringLiteral("Nothing is missing at the moment. If locking just failed, try "
                               "again.")};
    case AccessProblem::NoX11Session:
        return {QStringLiteral("To lock the keyboard in a Wayland session, Tavimo needs its "
                               "keyboard-lock service, which is not installed."),
                QStringLiteral(
                    "Without it, Wayland programs would keep receiving your keys, so Tavimo "
                    "does not lock. The service (tavimo-lockd) comes with Tavimo\u2019s Debian "
                    "package and with \u201ccmake --install\u201d: install Tavimo that way and "
                    "open it again. Where the login screen offers an X11 session (such as "
                    "\u201cGNOME on Xorg\u201d), Tavimo also locks the keyboard there without "
                    "the service.")};
    case AccessProblem::NoDisplay:
        return {QStringLiteral("Tavimo cannot reach the display of this X11 session."),
                QStringLiteral("Open Tavimo from within the desktop session, so that it "
                               "knows the session\u2019s display.")};
    case AccessProblem::ServiceUnavailable:
        return {QStringLiteral("Tavimo\u2019s keyboard-lock service does not answer."),
                QStringLiteral("It is installed but did not start or did not reply, so no "
                               "lock can be taken. \u201csystemctl status tavimo-lockd\u201d "
                               "shows why; an administrator can restart it with "
                               "\u201csystemctl restart tavimo-lockd\u201d.")};
    case AccessProblem::NeedsAuthentication:
        return {QStringLiteral("Your system asks for authentication before Tavimo may lock "
                               "the keyboard."),
                QStringLiteral("The authentication was cancelled or could not be shown. "
                               "Choose Authenticate to be asked again. If no dialog appears, "
                               "your desktop runs no polkit authentication agent.")};
    case AccessProblem::NotAuthorized:
        return {QStringLiteral("You are not allowed to lock the keyboard on this system."),
                QStringLiteral("The system\u2019s policy does not allow it for your account "
                               "(polkit action app.tavimo.Tavimo.lock-keyboard). Ask your "
                               "administrator to allow it.")};
    case AccessProblem::SessionNotActive:
        return {QStringLiteral("Only the active session at this computer may lock its "
                               "keyboard."),
                QStringLiteral("This session is in the background, or it is a remote "
                               "session. Switch to it at this computer\u2019s own screen and "
                               "keyboard, and try again.")};
    case AccessProblem::NoPointingDevice:
        return {QStringLiteral("Connect a mouse to lock the keyboard."),
                QStringLiteral("No mouse, touchpad or other pointing device is connected. "
                               "Tavimo never locks the keyboard without one: you could not "
                               "click \u201cUnlock keyboard\u201d.")};
    case AccessProblem::KeyboardHeldElsewhere:
        return {QStringLiteral("Another program is holding the keyboard."),
                QStringLiteral("An open menu, a drag in progress, or a program that keeps the "
                               "keyboard to itself (a remote desktop viewer, a game, another "
                               "keyboard lock) has it now. Close its menu and try again.")};
    case AccessProblem::KeysHeld:
        return {QStringLiteral("Let go of the keys to lock the keyboard."),
                QStringLiteral("Keys were held down while Tavimo waited to lock the keyboard. "
                               "A key locked while down would stay pressed for the program "
                               "that saw it go down, so Tavimo waits until no key is down. "
                               "Take your hands off the keyboard and click \u201cLock "
                               "keyboard\u201d again.")};
    case AccessProblem::Failed:
        break;
    }
    return {QStringLiteral("Tavimo could not lock the keyboard."),
            QStringLiteral("Something went wrong while taking the keyboard. Try again in a "
                           "moment.")};
}

void showKeyboardAccessHelp(AccessProblem problem, std::function<void()> askAgain)
{
    static QPointer<QMessageBox> box;
    static QPointer<QPushButton> authenticate;
    if (!box) {
        box = new QMessageBox(QMessageBox::Information, QStringLiteral("Keyboard access"),
                              QString(), QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
    }
    const KeyboardAccessHelpText help = keyboardAccessHelpText(problem);
    box->setText(help.text);
    // The capsule's words come from the Mac, where they name a permission; here they could
    // be taken for the screen-reader stack.
    box->setInformativeText(help.informative +
                            QStringLiteral("\n\nOn Linux, \u201cAccessibility access\u201d in "
                                           "Tavimo means permission to lock the keyboard; it has "
                                           "nothing to do with screen readers."));
    if (authenticate) {
        box->removeButton(authenticate);
        authenticate->deleteLater();
    }
    if (askAgain) {
        authenticate =
            box->addButton(QStringLiteral("Authenticate\u2026"), QMessageBox::AcceptRole);
        // Runs after the box has closed itself for the click.
        QObject::connect(authenticate, &QPushButton::clicked, authenticate,
                         [askAgain] { askAgain(); });
    }
    box->show();
    box->raise();
    box->activateWindow();
}

void showKeyboardAccessHelp(KeyboardAccess& access)
{
    const AccessProblem problem = access.accessProblem();
    if (problem == AccessProblem::NeedsAuthentication)
        showKeyboardAccessHelp(problem, [&access] { access.promptForTrust(); });
    else
        showKeyboardAccessHelp(problem);
}

} // namespace platform
