// SPDX-License-Identifier: GPL-3.0-or-later

#include "windows/MainWindowLayout.h"

#include <QEvent>

#include <algorithm>

namespace {

// Gives the widget its size and puts its top edge at top, centred on centreX.
// Returns the y just below it.
int stack(QWidget& widget, int centreX, int top, QSize size)
{
    widget.setGeometry(centreX - size.width() / 2, top, size.width(), size.height());
    return top + size.height();
}

} // namespace

MainWindowLayout::MainWindowLayout(QWidget& container, Views views)
    : QObject(&container), m_container(&container), m_views(views)
{
    container.installEventFilter(this);
    for (QWidget* view : {views.title, views.subtitle, views.statusCapsule, views.developerLink})
        view->installEventFilter(this);
    apply();
}

QSize MainWindowLayout::buttonSize() const
{
    const QSize hint = m_views.lockButton->sizeHint();
    return {std::max(kButtonWidth, hint.width()), std::max(kButtonHeight, hint.height())};
}

QSize MainWindowLayout::neededSize() const
{
    int width = buttonSize().width();
    for (const QWidget* view :
         {m_views.title, m_views.subtitle, m_views.statusCapsule, m_views.developerLink})
        width = std::max(width, view->sizeHint().width());
    const int link = std::max(kLinkMinimumHeight, m_views.developerLink->sizeHint().height());
    const int height = kIconTop + kIconSize + kIconToTitle + m_views.title->sizeHint().height() +
                       kTitleToSubtitle + m_views.subtitle->sizeHint().height() +
                       kSubtitleToCapsule + kCapsuleHeight + kCapsuleToButton +
                       buttonSize().height() + kButtonToLinkMinimum + link + kLinkBottomInset;
    return {width + 2 * kSideMargin, height};
}

void MainWindowLayout::growWindowToFit()
{
    QWidget* window = m_container->window();
    const QSize fitting = window->size().expandedTo(neededSize());
    if (fitting != window->size())
        window->setFixedSize(fitting); // resizes the container, which lays out again
}

void MainWindowLayout::apply()
{
    if (!m_container)
        return;
    growWindowToFit();
    const int centreX = m_container->width() / 2;
    int y = stack(*m_views.icon, centreX, kIconTop, {kIconSize, kIconSize});
    y = stack(*m_views.title, centreX, y + kIconToTitle, m_views.title->sizeHint());
    y = stack(*m_views.subtitle, centreX, y + kTitleToSubtitle, m_views.subtitle->sizeHint());
    y = stack(*m_views.statusCapsule, centreX, y + kSubtitleToCapsule,
              {m_views.statusCapsule->sizeHint().width(), kCapsuleHeight});
    stack(*m_views.lockButton, centreX, y + kCapsuleToButton, buttonSize());

    const QSize link(m_views.developerLink->sizeHint().width(),
                     std::max(kLinkMinimumHeight, m_views.developerLink->sizeHint().height()));
    stack(*m_views.developerLink, centreX, m_container->height() - kLinkBottomInset - link.height(),
          link);
}

bool MainWindowLayout::eventFilter(QObject* watched, QEvent* event)
{
    const bool containerResized = watched == m_container && event->type() == QEvent::Resize;
    // A child's updateGeometry() posts LayoutRequest to the child's parent, and a
    // font or text change reaches the child itself first.
    const bool sizeHintChanged = event->type() == QEvent::LayoutRequest ||
                                 (watched != m_container && (event->type() == QEvent::FontChange ||
                                                             event->type() == QEvent::StyleChange));
    if (containerResized || sizeHintChanged)
        apply();
    return false;
}
