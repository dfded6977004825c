// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/WaylandIdleInhibit.h"

#include "platform/wayland/WaylandRegistry.h"

#include <QGuiApplication>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"

namespace platform {

WaylandIdleInhibit* WaylandIdleInhibit::instance()
{
    // Asked once: the globals do not come and go with the lock.
    static bool tried = false;
    static WaylandIdleInhibit* inhibit = nullptr;
    if (tried)
        return inhibit;
    tried = true;
    std::unique_ptr<WaylandRegistry> registry(WaylandRegistry::create());
    if (!registry)
        return nullptr;
    auto* manager = static_cast<zwp_idle_inhibit_manager_v1*>(
        registry->bind(zwp_idle_inhibit_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    // Never destroyed: it lives on Qt's Wayland connection, which goes with the
    // application object, before static destruction.
    inhibit = new WaylandIdleInhibit(std::move(registry), manager);
    return inhibit;
}

WaylandIdleInhibit::WaylandIdleInhibit(std::unique_ptr<WaylandRegistry> registry,
                                       zwp_idle_inhibit_manager_v1* manager)
    : m_registry(std::move(registry)), m_manager(manager)
{
}

WaylandIdleInhibit::~WaylandIdleInhibit()
{
    release();
    zwp_idle_inhibit_manager_v1_destroy(m_manager);
}

void WaylandIdleInhibit::inhibitOn(QWindow& window)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* surface =
        native && window.handle()
            ? static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window))
            : nullptr;
    if (!surface)
        return;
    release();
    m_inhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(m_manager, surface);
    wl_display_flush(m_registry->display());
}

void WaylandIdleInhibit::release()
{
    if (!m_inhibitor)
        return;
    // An inhibitor whose surface is gone is inert, and destroying it is still fine.
    zwp_idle_inhibitor_v1_destroy(m_inhibitor);
    m_inhibitor = nullptr;
    wl_display_flush(m_registry->display());
}

} // namespace platform
