// SPDX-License-Identifier: GPL-3.0-or-later

// The main window of MainWindowController: its settings, its six views and their
// layout, and the developer link.

#include "windows/MainWindowController.h"

#include "platform/Platform.h"
#include "ui/AccessibleTree.h"
#include "ui/AppIcon.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/Palette.h"
#include "ui/PointerPressGuard.h"
#include "ui/SystemColor.h"
#include "windows/BackgroundDrag.h"
#include "windows/BreathingIcon.h"
#include "windows/DeveloperSite.h"
#include "windows/LinkButton.h"
#include "windows/MainWindowLayout.h"
#include "ui/UiFont.h"
#include "windows/TintedLabel.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr QSize kWindowSize{392, 456};
// The tertiary text colour, made opaque enough for 4.5:1 on the window's glass: at its
// own opacity small text reaches about 1.9:1. Its small size keeps it a quiet footer.
constexpr qreal kDeveloperLinkAlpha = 0.6;

void centreOnPrimaryScreen(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window.size());
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

// The window has one size. Its flags offer no maximise button, but a title bar the
// toolkit draws itself (Qt's on GNOME Wayland) offers one anyway, and the window manager
// would move the window into the corner as "maximised": such a request is taken back.
class RefusesMaximising final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && event->type() == QEvent::WindowStateChange &&
            window->windowState() & Qt::WindowMaximized)
            // Not from inside the change that is being delivered.
            QTimer::singleShot(0, window, [window] {
                window->setWindowState(window->windowState() & ~Qt::WindowMaximized);
            });
        return false;
    }
};

std::unique_ptr<QWidget> makeMainWindow()
{
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint |
                                                         Qt::WindowCloseButtonHint |
                                                         Qt::WindowMinimizeButtonHint);
    window->setWindowTitle(QStringLiteral("Tavimo"));
    window->setFixedSize(kWindowSize);
    window->installEventFilter(new RefusesMaximising(window.get()));
    window->setAttribute(Qt::WA_TranslucentBackground);
    AccessibleTree::present(*window, AccessibleTree::Kind::Frame);
    centreOnPrimaryScreen(*window);
    return window;
}

} // namespace

MainWindowController::MainWindowController() : MainWindowController(makeMainWindow())
{
    buildUI();
}

void MainWindowController::buildUI()
{
    if (!m_window)
        return;

    auto* root =
        new GlassPanel(GlassMaterial::UnderWindowBackground, 0, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.1), false, false);
    root->setObjectName(QStringLiteral("rootPanel"));
    auto* fill = new QVBoxLayout(m_window.get());
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(root);
    root->setGeometry(m_window->rect());
    QWidget* content = root->contentContainer();

    auto* icon = new BreathingIcon(AppIcon::image(), content);
    icon->setObjectName(QStringLiteral("appIcon"));

    auto* title = new TintedLabel(QStringLiteral("Tavimo"), UiFont::system(26, QFont::DemiBold),
                                  Palette::textPrimary(), content);
    title->setObjectName(QStringLiteral("title"));
    title->markAsHeading();

    auto* subtitle =
        new TintedLabel(QStringLiteral("Lock your keyboard while you wipe it down.\n"
                                       "Unlock with one click when you\u2019re done."),
                        UiFont::system(13.5, QFont::Normal), Palette::textSecondary(), content);
    subtitle->setObjectName(QStringLiteral("subtitle"));

    const bool trusted = platform::keyboardAccess().isProcessTrusted();
    auto* capsule =
        trusted ? new InfoPill(QStringLiteral("checkmark.shield.fill"),
                               QStringLiteral("Accessibility access is ready"), true, content)
                : new InfoPill(QStringLiteral("hand.raised.fill"),
                               QStringLiteral("Accessibility access required"), false, content);
    capsule->setObjectName(QStringLiteral("permissionStatus"));
    m_permissionStatus = capsule;

    auto* lock =
        new GlassButton(QStringLiteral("Lock keyboard"), QStringLiteral("lock.fill"), content);
    lock->setObjectName(QStringLiteral("lockButton"));
    const QPointer<MainWindowController> self(this);
    lock->onClick = [self] {
        if (self)
            self->lockButtonClicked();
    };
    m_lockButton = lock;
    m_lockPressGuard = new PointerPressGuard(*lock->button());

    auto* link = new LinkButton(QStringLiteral("dev ") + DeveloperSite::kHost,
                                UiFont::system(10.5, QFont::Medium),
                                Palette::textTertiary().withAlpha(kDeveloperLinkAlpha), content);
    link->setObjectName(QStringLiteral("developerLink"));
    // Named by what it shows, so that a user who hears it can say what to click.
    link->setAccessibleDescription(QStringLiteral("Developer website"));
    connect(link, &QAbstractButton::clicked, this, &MainWindowController::openDeveloperSite);

    for (QWidget* view : {static_cast<QWidget*>(icon), static_cast<QWidget*>(title),
                          static_cast<QWidget*>(subtitle), static_cast<QWidget*>(capsule),
                          static_cast<QWidget*>(lock), static_cast<QWidget*>(link)})
        view->show();
    new MainWindowLayout(*content, {icon, title, subtitle, capsule, lock, link});
    if (m_window->size() != kWindowSize)
        centreOnPrimaryScreen(*m_window); // grown for the desktop's larger text
    new BackgroundDrag(*content);

    startPermissionMonitoring();
    refreshPermissionStatus();
}

void MainWindowController::openDeveloperSite()
{
    const QUrl url(QStringLiteral("https://") + DeveloperSite::kHost, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return;
    platform::desktop().openUrl(url);
}
