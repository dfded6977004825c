// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Alert.h"

// Alerts as Qt message boxes, application-modal and brought in front of other
// applications' windows: at launch nothing of ours is on screen yet.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    int run(const Alert& alert) override;
};
