#pragma once

#include "app/Alert.h"

// Alerts as Qt message boxes, application-modal and brought to the front.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    int run(const Alert& alert) override;
};
