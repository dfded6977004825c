// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MoveOffer.h"

#include "app/Alert.h"
#include "app/AppBundle.h"
#include "app/BundleInstaller.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr char kSkipVariable[] = "TAVIMO_SKIP_MOVE_PROMPT";

} // namespace

MoveOffer::MoveOffer(Surroundings surroundings) : m_surroundings(std::move(surroundings)) {}

void MoveOffer::run(const std::function<void()>& completion)
{
    if (shouldSkip()) {
        completion();
        return;
    }
    // Only a real bundle is offered: a bare executable's folder (say "bin") must never
    // be copied over an item of the same name.
    const std::optional<QString> bundlePath = AppBundle::containing(m_surroundings.executablePath);
    // A plain prefix test: anything below the folder, or below a sibling whose name
    // merely begins the same way, counts as installed.
    if (!bundlePath || bundlePath->startsWith(m_surroundings.applicationsFolder)) {
        completion();
        return;
    }
    if (!userWantsToMove()) {
        completion();
        return;
    }

    const QString destination =
        QDir(m_surroundings.applicationsFolder).filePath(QFileInfo(*bundlePath).fileName());
    const BundleInstaller::Outcome outcome = BundleInstaller::install(*bundlePath, destination);
    if (!outcome.succeeded) {
        reportFailure(outcome.error);
        completion();
        return;
    }
    platform::desktop().revealFile(destination);
    reportSuccess();
    if (m_surroundings.terminate)
        m_surroundings.terminate();
}

bool MoveOffer::shouldSkip() const
{
    return qgetenv(kSkipVariable) == "1";
}

bool MoveOffer::userWantsToMove()
{
    Alert offer;
    offer.icon = m_surroundings.alertIcon;
    offer.messageText = QStringLiteral("Move Tavimo to Applications?");
    offer.informativeText = QStringLiteral("Tavimo works best from your Applications folder.");
    offer.style = Alert::Style::Informational;
    offer.buttons = {QStringLiteral("Move to Applications"), QStringLiteral("Not Now")};
    return m_surroundings.alerts->run(offer) == 0;
}

void MoveOffer::reportSuccess()
{
    Alert moved;
    moved.icon = m_surroundings.alertIcon;
    moved.messageText = QStringLiteral("Moved to Applications");
    moved.informativeText = QStringLiteral(
        "Tavimo is now in your Applications folder — this copy will quit. Open it from "
        "there from now on.");
    moved.style = Alert::Style::Informational;
    moved.buttons = {QStringLiteral("Quit")};
    m_surroundings.alerts->run(moved);
}

void MoveOffer::reportFailure(const QString& error)
{
    Alert failed;
    failed.icon = m_surroundings.alertIcon;
    failed.messageText = QStringLiteral("Couldn't move to Applications");
    failed.informativeText = error;
    failed.style = Alert::Style::Warning;
    m_surroundings.alerts->run(failed);
}
