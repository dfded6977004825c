#pragma once

#include "app/Alert.h"

#include <QList>

// Answers alerts from a script and remembers every alert shown.
class ScriptedAlerts final : public AlertPresenter {
public:
    QList<int> answers;
    QList<Alert> shown;
    // Called as each alert is shown, to look at the world at that moment.
    std::function<void(const Alert&)> onShow;

    int run(const Alert& alert) override
    {
        shown.append(alert);
        if (onShow)
            onShow(alert);
        return answers.isEmpty() ? -1 : answers.takeFirst();
    }
};
