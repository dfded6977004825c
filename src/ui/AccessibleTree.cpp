// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/AccessibleTree.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace AccessibleTree {

namespace {

const char kKindProperty[] = "tavimoAccessibleKind";

std::optional<Kind> kindOf(const QWidget& widget)
{
    const QVariant kind = widget.property(kKindProperty);
    if (!kind.isValid())
        return std::nullopt;
    return Kind(kind.toInt());
}

bool isContainer(const QWidget& widget)
{
    return kindOf(widget) == Kind::Container;
}

void collect(const QWidget& widget, QList<QWidget*>& into)
{
    for (QObject* object : widget.children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        const std::optional<Kind> kind = kindOf(*child);
        if (kind == Kind::Decoration || kind == Kind::Notification)
            continue;
        if (kind == Kind::Container)
            collect(*child, into);
        else
            into.append(child);
    }
}

// A window or a container: its children are the elements below it.
class Parent : public Element {
public:
    using Element::Element;

    int childCount() const override { return int(elementsBelow(*widget()).size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> elements = elementsBelow(*widget());
        if (index < 0 || index >= elements.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(elements.at(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        return int(elementsBelow(*widget()).indexOf(qobject_cast<QWidget*>(child->object())));
    }
};

class Frame : public Parent {
public:
    explicit Frame(QWidget* widget) : Parent(widget, QAccessible::Window) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return widget()->windowTitle();
        return Parent::text(t);
    }
};

class Text : public Element {
public:
    Text(QLabel* label, QAccessible::Role role) : Element(label, role) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel*>(widget())->text();
        return Element::text(t);
    }
};

// A button, or a link drawn as a button: pressed like one, named by its text.
class Button : public Element {
public:
    Button(QAbstractButton* button, QAccessible::Role role) : Element(button, role) {}

    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return button()->text();
        return Element::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = Element::state();
        state.pressed = button()->isDown();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + Element::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && button()->isEnabled())
            button()->click();
        else
            Element::doAction(action);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* interfaceFor(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    const std::optional<Kind> kind = kindOf(*widget);
    if (!kind) {
        // The glass button's inner button is the control a screen reader meets.
        if (className == QLatin1String("FocusAwareButton"))
            return new Button(static_cast<QAbstractButton*>(widget), QAccessible::Button);
        return nullptr;
    }
    switch (*kind) {
    case Kind::Frame:
        return new Frame(widget);
    case Kind::Container:
        return new Parent(widget, QAccessible::Grouping);
    case Kind::Decoration:
        return new Element(widget, QAccessible::Graphic);
    case Kind::Notification:
        return new Element(widget, QAccessible::Notification);
    case Kind::Text:
    case Kind::Heading: {
        const QAccessible::Role role =
            *kind == Kind::Heading ? QAccessible::Heading : QAccessible::StaticText;
        if (auto* label = qobject_cast<QLabel*>(widget))
            return new Text(label, role);
        return new Element(widget, role);
    }
    case Kind::Link:
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return new Button(button, QAccessible::Link);
        return new Element(widget, QAccessible::Link);
    }
    return nullptr;
}

} // namespace

void present(QWidget& widget, Kind kind)
{
    install();
    widget.setProperty(kKindProperty, int(kind));
    // Setting a text in a constructor already made and cached Qt's own interface (Qt
    // does so even before a screen reader is there), while nobody could have seen it
    // yet: it goes, and the next question gets the one for the kind.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

QList<QWidget*> elementsBelow(const QWidget& widget)
{
    QList<QWidget*> elements;
    collect(widget, elements);
    return elements;
}

Element::Element(QWidget* widget, QAccessible::Role role, const QString& name)
    : QAccessibleWidget(widget, role, name)
{
}

QAccessibleInterface* Element::parent() const
{
    QWidget* above = widget()->isWindow() ? nullptr : widget()->parentWidget();
    while (above && !above->isWindow() && isContainer(*above))
        above = above->parentWidget();
    if (!above)
        return QAccessibleWidget::parent();
    return QAccessible::queryAccessibleInterface(above);
}

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    (void)installed;
}

} // namespace AccessibleTree
