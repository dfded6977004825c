// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/InfoPill.h"

#include "ui/AccessibleTree.h"
#include "ui/ElidedLabel.h"
#include "ui/GlassPanel.h"
#include "ui/Palette.h"
#include "ui/StatusAnnouncer.h"
#include "ui/SymbolView.h"
#include "ui/SystemColor.h"
#include "ui/UiFont.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <algorithm>

namespace {

constexpr qreal glassCornerRadius = 18;
constexpr int leadingInset = 12;
constexpr int iconSide = 14;
constexpr int iconTextGap = 7;
constexpr int trailingInset = 12;
constexpr int naturalHeight = 36;
constexpr qreal symbolPoints = 12;
constexpr qreal textPoints = 11.5;

// The pill speaks as one piece of static text named by its title; its icon and
// label are not separate elements.
class InfoPillAccessible : public AccessibleTree::Element {
public:
    explicit InfoPillAccessible(InfoPill* pill) : Element(pill, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<InfoPill*>(widget())->title();
        return Element::text(t);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* infoPillAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("InfoPill") && object && object->isWidgetType())
        return new InfoPillAccessible(static_cast<InfoPill*>(object));
    return nullptr;
}

void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(infoPillAccessible);
        return true;
    }();
    (void)installed;
}

AppearanceColor iconTint(bool isReady)
{
    return isReady ? SystemColor::systemGreen() : Palette::textSecondary();
}

} // namespace

InfoPill::InfoPill(const QString& symbolName, const QString& title, bool isReady, QWidget* parent)
    : QWidget(parent)
{
    installAccessibleFactoryOnce();
    m_glass = new GlassPanel(GlassMaterial::Menu, glassCornerRadius, GlassBlending::WithinWindow,
                             SystemColor::label().withAlpha(0.05), /*isClear*/ true,
                             /*isInteractive*/ false, this);
    m_iconView = new SymbolView(symbolPoints, QFont::DemiBold, m_glass->contentContainer());
    m_label = new ElidedLabel(Palette::textSecondary(), m_glass->contentContainer());
    m_label->setFont(UiFont::system(textPoints, QFont::Medium));
    setAttribute(Qt::WA_TranslucentBackground);
    update(symbolName, title, isReady);
    m_announcer = new StatusAnnouncer(*this);
}

void InfoPill::update(const QString& symbolName, const QString& title, bool isReady)
{
    const bool changed = title != m_label->text();
    m_iconView->setSymbolName(symbolName);
    m_iconView->setTint(iconTint(isReady));
    m_label->setText(title);
    setAccessibleName(title);
    updateGeometry();
    layoutContent();
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    if (changed && m_announcer)
        m_announcer->announce(title);
}

void InfoPill::announceTitle()
{
    m_announcer->announce(title());
}

QString InfoPill::title() const
{
    return m_label->text();
}

QSize InfoPill::sizeHint() const
{
    return QSize(leadingInset + iconSide + iconTextGap + m_label->sizeHint().width() +
                     trailingInset,
                 naturalHeight);
}

QSize InfoPill::minimumSizeHint() const
{
    return QSize(leadingInset + iconSide + iconTextGap + trailingInset, iconSide);
}

void InfoPill::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_glass->setGeometry(rect());
    layoutContent();
}

void InfoPill::layoutContent()
{
    const int iconTop = (height() - iconSide) / 2;
    m_iconView->setGeometry(leadingInset, iconTop, iconSide, iconSide);
    const int labelLeft = leadingInset + iconSide + iconTextGap;
    const int labelWidth = std::max(0, width() - labelLeft - trailingInset);
    const int labelHeight = m_label->sizeHint().height();
    m_label->setGeometry(labelLeft, (height() - labelHeight) / 2, labelWidth, labelHeight);
}
