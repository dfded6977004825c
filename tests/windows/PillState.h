#pragma once

#include "ui/InfoPill.h"
#include "ui/SymbolView.h"
#include "ui/SystemColor.h"

#include <QString>
#include <QtTest>

// What the status capsule shows: symbol, text and whether it is tinted as ready.
struct PillState {
    QString symbol;
    QString title;
    bool ready = false;

    bool operator==(const PillState&) const = default;
};

inline PillState pillState(const InfoPill* pill)
{
    if (!pill)
        return {QStringLiteral("<no capsule>"), {}, false};
    const auto& tint = pill->iconView()->tint();
    const bool ready = tint && tint->resolved() == SystemColor::systemGreen().resolved();
    return {pill->iconView()->symbolName(), pill->title(), ready};
}

inline const PillState kGranted{QStringLiteral("checkmark.shield.fill"),
                                QStringLiteral("Accessibility access is ready"), true};
inline const PillState kWaiting{QStringLiteral("hourglass"),
                                QStringLiteral("Waiting for Accessibility access"), false};
inline const PillState kRequired{QStringLiteral("hand.raised.fill"),
                                 QStringLiteral("Accessibility access required"), false};
inline const PillState kStillNeedsApproval{QStringLiteral("exclamationmark.shield.fill"),
                                           QStringLiteral("Keyboard access still needs approval"),
                                           false};

namespace QTest {
template <> inline char* toString(const PillState& state)
{
    return qstrdup(
        qPrintable(QStringLiteral("{%1, \"%2\", %3}")
                       .arg(state.symbol, state.title,
                            state.ready ? QStringLiteral("ready") : QStringLiteral("not ready"))));
}
} // namespace QTest
