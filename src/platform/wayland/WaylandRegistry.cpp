// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/WaylandRegistry.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <algorithm>

#include <wayland-client.h>

namespace platform {
WaylandRegistry* WaylandRegistry::create()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("wayland"))
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display =
        native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
               : nullptr;
    if (!display)
        return nullptr;
    auto* registry = new WaylandRegistry(display);
    if (!registry->m_registry || !registry->roundtrip()) {
        delete registry;
        return nullptr;
    }
    return registry;
}

WaylandRegistry::WaylandRegistry(wl_display* display) : m_display(display)
{
    static const wl_registry_listener listener = {&WaylandRegistry::onGlobal,
                                                  &WaylandRegistry::onGlobalRemove};
    m_queue = wl_display_create_queue(display);
    // A wrapper moves the registry onto our queue from its creation on: Qt's thread
    // could otherwise dispatch the first globals before the queue is set.
    m_wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    if (!m_queue || !m_wrapper)
        return;
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(m_wrapper), m_queue);
    m_registry = wl_display_get_registry(m_wrapper);
    if (m_registry)
        wl_registry_add_listener(m_registry, &listener, this);
}

WaylandRegistry::~WaylandRegistry()
{
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_wrapper)
        wl_proxy_wrapper_destroy(m_wrapper);
    if (m_queue)
        wl_event_queue_destroy(m_queue);
}

void WaylandRegistry::onGlobal(void* data, wl_registry*, uint32_t name, const char* interface,
                               uint32_t version)
{
    static_cast<WaylandRegistry*>(data)->m_globals.insert(QByteArray(interface), {name, version});
}

void WaylandRegistry::onGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    auto& globals = static_cast<WaylandRegistry*>(data)->m_globals;
    globals.removeIf([name](const auto& entry) { return entry.value().name == name; });
}

uint32_t WaylandRegistry::version(const QByteArray& interfaceName) const
{
    const auto found = m_globals.constFind(interfaceName);
    return found == m_globals.constEnd() ? 0 : found->version;
}

void* WaylandRegistry::bind(const wl_interface& interface, uint32_t maxVersion)
{
    const auto found = m_globals.constFind(QByteArray(interface.name));
    if (found == m_globals.constEnd())
        return nullptr;
    const uint32_t version =
        std::min({found->version, maxVersion, static_cast<uint32_t>(interface.version)});
    return wl_registry_bind(m_registry, found->name, &interface, version);
}

bool WaylandRegistry::roundtrip()
{
    return wl_display_roundtrip_queue(m_display, m_queue) >= 0;
}

void WaylandRegistry::dispatchPending()
{
    wl_display_dispatch_queue_pending(m_display, m_queue);
}

} // namespace platform
