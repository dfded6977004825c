// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/UiResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not be expanded inside a namespace.
static void initTavimoResources()
{
    Q_INIT_RESOURCE(tavimo);
}

namespace UiResources {

void ensureLoaded()
{
    static const bool loaded = [] {
        initTavimoResources();
        return true;
    }();
    (void)loaded;
}

} // namespace UiResources
