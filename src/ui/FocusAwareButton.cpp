// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/FocusAwareButton.h"

#include "ui/AppearanceNotifier.h"
#include "ui/ButtonKeys.h"
#include "ui/SymbolImage.h"
#include "ui/UiFont.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
constexpr qreal symbolTitleGap = 7;
constexpr qreal titlePoints = 14;
constexpr qreal horizontalPadding = 22;
} // namespace

FocusAwareButton::FocusAwareButton(QWidget* parent) : FocusAwareButton(QString(), parent) {}

FocusAwareButton::FocusAwareButton(const QString& title, QWidget* parent)
    : QPushButton(title, parent)
{
    setFlat(true);
    setAttribute(Qt::WA_TranslucentBackground);
    // Keyboard focus only: a mouse click must not light the focus glow.
    setFocusPolicy(Qt::TabFocus);
    setFont(UiFont::system(titlePoints, QFont::DemiBold));
    setCursor(Qt::ArrowCursor);
    // Colours resolve at paint time; a switch of appearance only needs a repaint.
    connect(&AppearanceNotifier::instance(), &AppearanceNotifier::changed, this,
            [this] { QWidget::update(); });
}

void FocusAwareButton::setSymbolName(const QString& name)
{
    m_symbolName = name;
    updateGeometry();
    QWidget::update();
}

bool FocusAwareButton::hasSymbolImage() const
{
    return SymbolImage::exists(m_symbolName);
}

void FocusAwareButton::setContentTint(const AppearanceColor& tint)
{
    m_contentTint = tint;
    QWidget::update();
}

void FocusAwareButton::focusInEvent(QFocusEvent* event)
{
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        m_focusFromKeyboard = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break; // back where it was when the window went inactive
    default:
        m_focusFromKeyboard = false;
        break;
    }
    QPushButton::focusInEvent(event);
    if (onFocusChange)
        onFocusChange(true);
}

void FocusAwareButton::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_focusFromKeyboard = false;
    QPushButton::focusOutEvent(event);
    if (onFocusChange)
        onFocusChange(false);
}

void FocusAwareButton::keyPressEvent(QKeyEvent* event)
{
    if (!ButtonKeys::pressesLikeSpace(*event))
        return QPushButton::keyPressEvent(event);
    QKeyEvent space = ButtonKeys::spaceFor(*event);
    QPushButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void FocusAwareButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!ButtonKeys::pressesLikeSpace(*event))
        return QPushButton::keyReleaseEvent(event);
    QKeyEvent space = ButtonKeys::spaceFor(*event);
    QPushButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}

qreal FocusAwareButton::symbolSide() const
{
    return hasSymbolImage() ? SymbolImage::sideFor(titlePoints) : 0;
}

QSize FocusAwareButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    qreal width = metrics.horizontalAdvance(text());
    if (hasSymbolImage())
        width += symbolSide() + symbolTitleGap;
    return QSize(int(std::ceil(width + 2 * horizontalPadding)),
                 int(std::ceil(std::max(metrics.height(), symbolSide()) + 20)));
}

void FocusAwareButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    else if (isDown())
        painter.setOpacity(0.7);

    const QColor color =
        m_contentTint ? m_contentTint->resolved() : palette().color(QPalette::ButtonText);
    const QFontMetricsF metrics(font());
    const std::optional<QPixmap> symbol =
        SymbolImage::render(m_symbolName, titlePoints, QFont::DemiBold, color, devicePixelRatioF());

    // Symbol and title travel together, centred as one group.
    const qreal titleWidth = metrics.horizontalAdvance(text());
    const qreal symbolWidth = symbol ? symbol->deviceIndependentSize().width() : 0;
    const qreal groupWidth = titleWidth + (symbol ? symbolWidth + symbolTitleGap : 0);
    qreal x = (width() - groupWidth) / 2;
    if (symbol) {
        const QSizeF size = symbol->deviceIndependentSize();
        painter.drawPixmap(QPointF(x, (height() - size.height()) / 2), *symbol);
        x += symbolWidth + symbolTitleGap;
    }
    painter.setFont(font());
    painter.setPen(color);
    const QRectF titleRect(x, 0, std::max<qreal>(0, width() - x), height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(text(), Qt::ElideRight, titleRect.width()));
}
