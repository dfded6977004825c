// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// A modal question or notice shown at launch, before the main window exists.
struct Alert {
    enum class Style { Informational, Warning };

    QIcon icon;
    QString messageText;
    QString informativeText;
    Style style = Style::Informational;
    // In order; the first is the default. Empty: the platform's single acknowledge button.
    QStringList buttons;
};

// Shows alerts and waits for the answer. Tests replace it with scripted answers.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // The index in `alert.buttons` of the button chosen, or -1 when the alert was
    // dismissed another way (Escape, the window's close button, no buttons of ours).
    virtual int run(const Alert& alert) = 0;
};
