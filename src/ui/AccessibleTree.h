// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>

class QWidget;

// How the program's widgets show to screen readers. A screen reader wants windows as
// frames and the controls and texts right inside them: the glass, the panels and the
// widgets that only hold others stay out of its way, and a drawing that says nothing
// (the icon beside the program's name) is left out.
namespace AccessibleTree {

enum class Kind {
    Container,    // holds others and says nothing: its children show in its place
    Decoration,   // left out
    Text,         // a label
    Heading,      // a label that titles its window
    Link,         // a text that opens a page
    Frame,        // a window of the program
    Notification, // spoken when it shows, named by its accessible name; not in the tree
};

// Marks the widget; must come before a screen reader first asks for it.
void present(QWidget& widget, Kind kind);

// The accessible elements below a widget, with containers opened up and decorations
// left out, in the order of the widgets.
QList<QWidget*> elementsBelow(const QWidget& widget);

// A widget's element whose parent, for a screen reader, is the nearest ancestor that is
// not a container.
class Element : public QAccessibleWidget {
public:
    Element(QWidget* widget, QAccessible::Role role, const QString& name = QString());
    QAccessibleInterface* parent() const override;
};

// Installs the interfaces above for every widget the program marks; once per process.
void install();

} // namespace AccessibleTree
