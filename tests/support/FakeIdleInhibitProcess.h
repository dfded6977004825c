// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/StandInProcess.h"

// Runs the stand-in screen saver and GNOME session manager on the session bus for one test;
// start() takes the arguments of fakeIdleInhibitMain.cpp.
class FakeIdleInhibitProcess : public StandInProcess {
public:
    FakeIdleInhibitProcess();

    // What is inhibited now, one entry per cookie held: "screensaver <application> <reason>"
    // or "gnome <app id> <toplevel xid> <reason> <flags>"; {"error"} when it cannot be asked.
    QStringList held() const;
    // How many cookies were handed out so far; -1 when it cannot be asked.
    int handed() const;
};
