// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/OverlayWindow.h"

#include "platform/Platform.h"
#include "ui/AccessibleTree.h"
#include "ui/AppIcon.h"
#include "ui/AppearanceNotifier.h"
#include "ui/ContinuousCorners.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/Palette.h"
#include "ui/PointerPressGuard.h"
#include "ui/SystemColor.h"
#include "windows/BlurredBackdrop.h"
#include "windows/BreathingIcon.h"
#include "ui/UiFont.h"
#include "windows/TintedLabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {

bool isPrimary(const QScreen* screen)
{
    return screen && screen == QGuiApplication::primaryScreen();
}

// Places a widget of its natural size with its top edge at top, centred on centreX.
void placeCentred(QWidget& widget, int centreX, int top, QSize size)
{
    widget.setGeometry(centreX - size.width() / 2, top, size.width(), size.height());
}

// This program's own shown windows on the screen (the main window, a help box): left
// out of the snapshot, or a blurred ghost of them would stand around the card.
QList<QRect> ownWindowsOn(const QScreen& screen)
{
    QList<QRect> windows;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || widget->isMinimized() ||
            widget->testAttribute(Qt::WA_DontShowOnScreen) ||
            qobject_cast<const OverlayWindow*>(widget))
            continue;
        const QRect frame = widget->frameGeometry();
        if (frame.intersects(screen.geometry()))
            windows.append(frame);
    }
    return windows;
}

} // namespace

OverlayWindow::OverlayWindow(QScreen* screen, std::function<void()> onUnlock)
    : OverlayWindow(screen, std::move(onUnlock), isPrimary(screen))
{
}

OverlayWindow::OverlayWindow(QScreen* screen, std::function<void()> onUnlock, bool isPrimaryDisplay)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      m_isPrimaryDisplay(isPrimaryDisplay), m_coveredScreen(screen)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Tavimo"));
    // What a screen reader says when the overlay takes the focus: the keys it would
    // suggest pressing do nothing now, so it says what does.
    AccessibleTree::present(*this, AccessibleTree::Kind::Frame);
    setAccessibleName(QStringLiteral("Keyboard locked"));
    setAccessibleDescription(
        isPrimaryDisplay ? QStringLiteral("The keyboard is locked. Click “Unlock keyboard” "
                                          "with the mouse or touchpad to end it.")
                         : QStringLiteral("The keyboard is locked. Click “Unlock keyboard” "
                                          "on the main screen with the mouse or touchpad to end "
                                          "it."));
    const QRect frame = screen ? screen->geometry() : QRect();
    if (screen)
        setScreen(screen);
    setGeometry(frame);

    // A blurred snapshot taken before any overlay shows stands in for the desktop
    // wherever one can be had, compositor or not: a compositor only blends, it does not
    // blur, and the main window's text would read through the card. Without a snapshot
    // (Wayland) a compositor blends the overlay over the desktop; without either, a
    // translucent window would show as colour over black.
    if (screen)
        m_snapshot = BlurredBackdrop::ofScreen(*screen, ownWindowsOn(*screen));
    m_isTranslucent = m_snapshot.isNull() && platform::desktop().compositesWindows();
    if (m_isTranslucent)
        setAttribute(Qt::WA_TranslucentBackground);
    tintBackdrop();
    // Light and dark tint the backdrop differently.
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this, [this] {
        tintBackdrop();
        update();
    });

    buildContent(std::move(onUnlock));

    winId(); // the native window must exist before it is placed above the others
    if (QWindow* window = windowHandle()) {
        // Set again on the native window: on Wayland only this puts each overlay on its
        // own output; a screen set before the window existed is not passed on.
        if (screen)
            window->setScreen(screen);
        platform::desktop().placeAboveAllWindows(*window);
    }
}

void OverlayWindow::buildContent(std::function<void()> onUnlock)
{
    const Metrics& m = m_isPrimaryDisplay ? kPrimaryMetrics : kSecondaryMetrics;

    auto* card =
        new GlassPanel(GlassMaterial::HudWindow, 32, GlassBlending::BehindWindow,
                       SystemColor::windowBackground().withAlpha(0.52), false, false, this);
    card->setObjectName(QStringLiteral("card"));
    m_card = card;
    card->setGeometry((width() - m.cardWidth) / 2, (height() - m.cardHeight) / 2, m.cardWidth,
                      m.cardHeight);
    QWidget* content = card->contentContainer();
    const int centreX = m.cardWidth / 2;

    auto* icon = new BreathingIcon(AppIcon::image(), content);
    icon->setObjectName(QStringLiteral("icon"));
    placeCentred(*icon, centreX, m.iconTopInset, {m.iconSize, m.iconSize});

    auto* title = new TintedLabel(QStringLiteral("Keyboard locked"),
                                  UiFont::system(m.titleFontSize, QFont::DemiBold),
                                  Palette::textPrimary(), content);
    title->setObjectName(QStringLiteral("title"));
    title->markAsHeading();
    placeCentred(*title, centreX, icon->geometry().bottom() + 1 + m.iconToTitleGap,
                 title->sizeHint());

    const QString message = m_isPrimaryDisplay
                                ? QStringLiteral("Wipe it down safely. Your keys won\u2019t type.")
                                : QStringLiteral("Typing is paused while you clean.");
    auto* messageLabel = new TintedLabel(message, UiFont::system(m.messageFontSize, QFont::Normal),
                                         Palette::textSecondary(), content);
    messageLabel->setObjectName(QStringLiteral("message"));
    placeCentred(*messageLabel, centreX, title->geometry().bottom() + 1 + 8,
                 messageLabel->sizeHint());

    if (m_isPrimaryDisplay) {
        auto* unlock = new GlassButton(QStringLiteral("Unlock keyboard"),
                                       QStringLiteral("lock.open.fill"), content);
        unlock->setObjectName(QStringLiteral("unlockButton"));
        unlock->setFollowsWindowActivity(false);
        unlock->button()->setAccessibleDescription(
            QStringLiteral("Keys are locked: click it with the mouse or touchpad."));
        unlock->onClick = std::move(onUnlock);
        m_unlockPressGuard = new PointerPressGuard(*unlock->button());
        placeCentred(*unlock, centreX, messageLabel->geometry().bottom() + 1 + 28,
                     unlock->sizeHint().expandedTo({236, 52}));

        auto* hint =
            new TintedLabel(QStringLiteral("Click once to return"),
                            UiFont::system(10.5, QFont::Medium), Palette::textSecondary(), content);
        hint->setObjectName(QStringLiteral("hint"));
        placeCentred(*hint, centreX, unlock->geometry().bottom() + 1 + 10, hint->sizeHint());
    }
    growCardToFit(*card, m);
    balanceVertically(*content, card->height(), m.iconTopInset);

    // Read once: an overlay keeps the motion setting it was made with.
    if (!platform::desktop().prefersReducedMotion())
        icon->startBreathing();
}

// The desktop's larger text can need more room than the card has: it grows, centred,
// keeping the top inset below the content and a margin either side.
void OverlayWindow::growCardToFit(GlassPanel& card, const Metrics& m)
{
    constexpr int kSideMargin = 24;
    QWidget* content = card.contentContainer();
    int widest = 0;
    int bottom = 0;
    for (const QWidget* child : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        widest = std::max(widest, child->width());
        bottom = std::max(bottom, child->geometry().bottom() + 1);
    }
    const QSize needed =
        card.size().expandedTo({widest + 2 * kSideMargin, bottom + m.iconTopInset});
    if (needed == card.size())
        return;
    const int shift = (needed.width() - card.width()) / 2;
    for (QWidget* child : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->move(child->pos() + QPoint(shift, 0));
    card.setGeometry((width() - needed.width()) / 2, (height() - needed.height()) / 2,
                     needed.width(), needed.height());
}

// The content hangs from the top inset; where it leaves more room below it than that
// inset (the small card's few lines), it moves down to sit in the middle instead.
void OverlayWindow::balanceVertically(QWidget& content, int cardHeight, int topInset)
{
    int bottom = 0;
    for (const QWidget* child : content.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        bottom = std::max(bottom, child->geometry().bottom() + 1);
    const int shift = (cardHeight - bottom - topInset) / 2;
    if (shift <= 0)
        return;
    for (QWidget* child : content.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->move(child->pos() + QPoint(0, shift));
}

void OverlayWindow::orderFrontRegardless()
{
    show();
    raise();
}

void OverlayWindow::makeKeyAndOrderFront()
{
    orderFrontRegardless();
    if (QWindow* window = windowHandle())
        platform::desktop().makeKeyWindow(*window);
}

void OverlayWindow::orderOut()
{
    if (QWindow* window = windowHandle(); window && isVisible())
        platform::desktop().releaseFromAbove(*window);
    hide();
}

void OverlayWindow::showKeyboardHeld(bool held)
{
    auto* title = findChild<QLabel*>(QStringLiteral("title"));
    auto* message = findChild<QLabel*>(QStringLiteral("message"));
    if (!title || !message || !m_card)
        return;
    const int centreX = m_card->width() / 2;
    if (held) {
        title->setText(QStringLiteral("Keyboard locked"));
        message->setText(m_isPrimaryDisplay
                             ? QStringLiteral("Wipe it down safely. Your keys won\u2019t type.")
                             : QStringLiteral("Typing is paused while you clean."));
    } else {
        title->setText(QStringLiteral("Keyboard unlocked"));
        message->setText(QStringLiteral("The system gave it back: your keys type."));
    }
    for (QLabel* label : {title, message}) {
        label->adjustSize();
        label->move(centreX - label->width() / 2, label->y());
    }
}

void OverlayWindow::ignorePointerPressesFor(int ms)
{
    if (m_unlockPressGuard)
        m_unlockPressGuard->holdBackFor(ms);
}

void OverlayWindow::holdStill()
{
    for (BreathingIcon* icon : findChildren<BreathingIcon*>())
        icon->holdStill();
}

OverlayWindow::~OverlayWindow()
{
    if (QWindow* window = windowHandle())
        platform::desktop().releaseFromAbove(*window);
}

// Tint and scrim go onto the small snapshot once, so that painting is one stretched
// image, not three full-screen layers.
void OverlayWindow::tintBackdrop()
{
    if (m_snapshot.isNull()) {
        m_backdrop = QImage();
        return;
    }
    m_backdrop = m_snapshot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&m_backdrop);
    painter.fillRect(m_backdrop.rect(), SystemColor::windowBackground().withAlpha(0.35).resolved());
    painter.fillRect(m_backdrop.rect(), Palette::overlayScrim().resolved());
}

void OverlayWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_isTranslucent) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), SystemColor::windowBackground().withAlpha(0.45).resolved());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.fillRect(rect(), Palette::overlayScrim().resolved());
        // Nothing blurs what shows through here, so the card gets a solid backing: the
        // desktop's sharp detail would otherwise read through its translucent glass.
        if (m_card) {
            painter.setRenderHint(QPainter::Antialiasing);
            const QPainterPath card =
                ContinuousCorners::path(QRectF(m_card->geometry()), m_card->cornerRadius());
            painter.fillPath(card, SystemColor::windowBackground().resolved());
            painter.fillPath(card, Palette::overlayScrim().resolved());
        }
    } else if (!m_backdrop.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_backdrop);
    } else {
        painter.fillRect(rect(), SystemColor::windowBackground().resolved());
        painter.fillRect(rect(), Palette::overlayScrim().resolved());
    }
}

void OverlayWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void OverlayWindow::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
