// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/StandInProcess.h"

#include <QVariant>

// Runs the stand-in desktop portal on the session bus for one test and changes its
// settings; start() takes the arguments of fakeDesktopPortalMain.cpp.
class FakeDesktopPortalProcess : public StandInProcess {
public:
    FakeDesktopPortalProcess();

    // Changes one setting; the portal emits SettingChanged. False when it could not be told.
    bool set(const QString& group, const QString& key, const QVariant& value);
};
