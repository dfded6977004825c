// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/StandInProcess.h"

// The stand-in login manager (fakeLoginManagerMain.cpp): logind's Inhibit, and one
// session for every caller, whose state a test sets.
class FakeLoginManagerProcess : public StandInProcess {
public:
    FakeLoginManagerProcess();

    // behaviour: "answer" or "refuse"; each answer waits delayMs.
    bool setBehaviour(const QString& behaviour, uint delayMs = 0);
    // One per Inhibit request, in order: "pending", "refused", "held" or "released".
    QStringList states();
    // what, who, why and mode of request `index`.
    QStringList request(uint index);

    // How GetSessionByPID finds the session: "pid" (it answers), "display" (it fails, as
    // for a program in a systemd user scope, and the user's Display is the session) or
    // "none". A change of `active` is announced with PropertiesChanged.
    bool setSession(const QString& lookup, bool active, bool remote, uint uid);
    // The session's seat; "" for a session at no seat.
    bool setSeat(const QString& seat);
    // "hint" (LockedHint true, announced), "signal" (the session's Lock signal) or "none".
    bool setLocked(const QString& how);
};
