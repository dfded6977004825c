// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

class QWindow;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;

namespace platform {

class WaylandRegistry;

// Holds off the compositor's idling (blanking, locking) through the Wayland idle-inhibit
// protocol, which sway and other compositors without a session-bus service honour. The
// compositor honours it while the given window's surface is visible.
class WaylandIdleInhibit final {
public:
    // Null when this process is no Wayland client or the compositor lacks the protocol.
    static WaylandIdleInhibit* instance();
    ~WaylandIdleInhibit();

    // Inhibits idling while this window is visible, in place of any window before.
    void inhibitOn(QWindow& window);
    void release();

private:
    WaylandIdleInhibit(std::unique_ptr<WaylandRegistry> registry,
                       zwp_idle_inhibit_manager_v1* manager);

    std::unique_ptr<WaylandRegistry> m_registry;
    zwp_idle_inhibit_manager_v1* m_manager;
    zwp_idle_inhibitor_v1* m_inhibitor = nullptr;
};

} // namespace platform
