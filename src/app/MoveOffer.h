// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QString>

#include <functional>

class AlertPresenter;

// The launch-time offer to copy the running bundle into the Applications folder.
// FirstLaunch runs it with this process's surroundings; tests give it their own.
class MoveOffer {
public:
    struct Surroundings {
        // Where installed copies live; the program itself never changes it.
        QString applicationsFolder = QStringLiteral("/Applications");
        QString executablePath;
        QIcon alertIcon;
        AlertPresenter* alerts = nullptr;
        // Ends the application; called instead of the completion after a successful move.
        std::function<void()> terminate;
    };

    explicit MoveOffer(Surroundings surroundings);

    // Calls `completion` exactly once before returning, unless the bundle was copied:
    // then `terminate` is called instead and `completion` never.
    void run(const std::function<void()>& completion);

private:
    bool shouldSkip() const;
    bool userWantsToMove();
    void reportSuccess();
    void reportFailure(const QString& error);

    Surroundings m_surroundings;
};
