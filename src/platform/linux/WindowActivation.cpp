// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/WindowActivation.h"

#include "platform/x11/X11LaunchActivation.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace platform {
namespace {

// Qt's Wayland shell takes the activation token from the environment at the next
// activation request (xdg-activation), and removes it there.
void activateOnWayland(QWindow& window, const QByteArray& token)
{
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token);
    window.requestActivate();
}

// Activates a window again once the compositor shows it: a request for a surface it has not
// mapped yet is dropped (mutter keeps the token for another try). A window that is only
// hidden by the compositor (minimised) is not exposed either, but takes the first request.
class ActivateWhenExposed final : public QObject {
public:
    ActivateWhenExposed(QWindow& window, QByteArray token)
        : QObject(&window), m_window(&window), m_token(std::move(token))
    {
        window.installEventFilter(this);
        // A window that is never shown does not keep this forever.
        QTimer::singleShot(10000, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed()) {
            m_window->removeEventFilter(this);
            // After the expose has been handled: the first frame goes out with it.
            QTimer::singleShot(0, m_window, [window = m_window, token = m_token] {
                if (window)
                    activateOnWayland(*window, token);
            });
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWindow> m_window;
    QByteArray m_token;
};

} // namespace

void activateForLaunch(QWindow& window, const LaunchToken& launch)
{
    window.raise();
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        window.requestActivate();
        activateX11WindowForLaunch(window, launch.startupId);
        return;
    }
    // GNOME's launcher passes only a startup-notification id, which mutter takes as an
    // activation token.
    const QByteArray token =
        launch.activationToken.isEmpty() ? launch.startupId : launch.activationToken;
    if (!window.isExposed())
        new ActivateWhenExposed(window, token);
    activateOnWayland(window, token);
}

} // namespace platform
