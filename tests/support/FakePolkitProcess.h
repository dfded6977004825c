// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/StandInProcess.h"

// The stand-in polkit authority (fakePolkitMain.cpp).
class FakePolkitProcess : public StandInProcess {
public:
    FakePolkitProcess();

    // "yes", "no" or "challenge" (authorized only where the check allows interaction);
    // announced with the Authority's Changed signal.
    bool setAnswer(const QString& answer);
    // Every answer from now on waits delayMs (a user typing a password).
    bool setDelay(uint delayMs);
    // One per CheckAuthorization: "<subject kind> <subject name> <action> <flags>".
    QStringList checks();
};
