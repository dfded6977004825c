// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/FirstLaunch.h"

#include "app/MessageBoxAlertPresenter.h"
#include "app/MoveOffer.h"
#include "ui/AppIcon.h"

#include <QApplication>
#include <QCoreApplication>

namespace FirstLaunch {

void moveToApplicationsIfNeeded(const std::function<void()>& completion)
{
    MessageBoxAlertPresenter alerts;
    MoveOffer::Surroundings surroundings;
    surroundings.executablePath = QCoreApplication::applicationFilePath();
    surroundings.alertIcon = AppIcon::image().value_or(QApplication::windowIcon());
    surroundings.alerts = &alerts;
    // Runs inside the event loop (the delegate is called from it), so exit() ends it and
    // main() returns.
    surroundings.terminate = [] {
        QCoreApplication::exit(0);
    };
    MoveOffer(std::move(surroundings)).run(completion);
}

} // namespace FirstLaunch
