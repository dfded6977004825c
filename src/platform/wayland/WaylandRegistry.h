// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QHash>

#include <cstdint>

struct wl_display;
struct wl_event_queue;
struct wl_interface;
struct wl_registry;

namespace platform {

// The globals the compositor advertises, read on Qt's own Wayland connection.
//
// Everything runs on an event queue of its own, so that the roundtrips here never
// dispatch Qt's events and Qt never dispatches ours.
class WaylandRegistry final {
public:
    // Null when this process is no Wayland client (Qt runs on another platform).
    static WaylandRegistry* create();
    ~WaylandRegistry();
    WaylandRegistry(const WaylandRegistry&) = delete;
    WaylandRegistry& operator=(const WaylandRegistry&) = delete;

    // Whether a global of that interface is advertised, and its version (0 if not).
    uint32_t version(const QByteArray& interfaceName) const;
    // Binds the global at no higher version than maxVersion; null when it is absent.
    void* bind(const wl_interface& interface, uint32_t maxVersion);

    wl_display* display() const { return m_display; }
    wl_event_queue* queue() const { return m_queue; }
    // Waits for the compositor to answer everything sent so far on our queue.
    bool roundtrip();
    // Handles the events already read for our queue, without waiting.
    void dispatchPending();

private:
    struct Global {
        uint32_t name;
        uint32_t version;
    };
    WaylandRegistry(wl_display* display);
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);

    wl_display* m_display;
    wl_event_queue* m_queue = nullptr;
    wl_display* m_wrapper = nullptr;
    wl_registry* m_registry = nullptr;
    QHash<QByteArray, Global> m_globals;
};

} // namespace platform
