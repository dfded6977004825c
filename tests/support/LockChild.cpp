// SPDX-License-Identifier: GPL-3.0-or-later

// Locks the keyboard and keeps it locked until killed; prints "locked" once it holds
// the keyboard, "refused" (and exits 1) when it could not.
#include "lock/KeyboardBlocker.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    KeyboardBlocker blocker;
    if (!blocker.start()) {
        std::puts("refused");
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    return app.exec();
}
