// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wayland/LayerShell.h"

#include "platform/wayland/WaylandRegistry.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformwindow.h>

#include <wayland-client.h>

// The generated header names an argument "namespace", a C++ keyword.
#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace platform {
namespace {

constexpr char kBypassHint[] = "QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT";
constexpr uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
// Version 1 keyboard interactivity: 1 takes the keyboard exclusively (on the overlay
// layer the compositor gives keys to no one else).
constexpr uint32_t kKeyboardExclusive = 1;
constexpr uint32_t kKeyboardNone = 0;
// A compositor that does not configure a new layer surface within this many
// roundtrips never will.
constexpr int kConfigureRoundtrips = 3;

wl_surface* surfaceOf(QWindow& window)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native && window.handle()
               ? static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window))
               : nullptr;
}

wl_output* outputOf(QScreen* screen)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native && screen
               ? static_cast<wl_output*>(native->nativeResourceForScreen("output", screen))
               : nullptr;
}

} // namespace

struct LayerShell::Surface {
    QPointer<QWindow> window;
    QPointer<QObject> platformWindow;
    wl_surface* wlSurface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    bool keyboard = false;
    bool configured = false;
};

LayerShell* LayerShell::instance()
{
    static QPointer<LayerShell> shell;
    static QPointer<QGuiApplication> triedFor;
    if (shell || !qGuiApp || triedFor == qGuiApp)
        return shell;
    triedFor = qGuiApp;
    std::unique_ptr<WaylandRegistry> registry(WaylandRegistry::create());
    if (!registry)
        return nullptr;
    auto* bound =
        static_cast<zwlr_layer_shell_v1*>(registry->bind(zwlr_layer_shell_v1_interface, 2));
    if (!bound)
        return nullptr;
    shell = new LayerShell(std::move(registry), bound);
    shell->setParent(qGuiApp); // dies with the application, before its Wayland connection
    return shell;
}

LayerShell::LayerShell(std::unique_ptr<WaylandRegistry> registry, zwlr_layer_shell_v1* shell)
    : m_registry(std::move(registry)), m_shell(shell),
      m_hintSetByUser(qEnvironmentVariableIsSet(kBypassHint))
{
    // Qt reads the connection on a thread of its own and wakes the main loop; events
    // for our queue (later configures, closed) are handled before it sleeps again.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &LayerShell::dispatch);
}

LayerShell::~LayerShell()
{
    for (const std::unique_ptr<Surface>& surface : m_surfaces)
        dropRole(*surface);
    m_surfaces.clear();
    useBypassHint(false);
    zwlr_layer_shell_v1_destroy(m_shell);
}

LayerShell::Surface* LayerShell::find(const QWindow* window) const
{
    for (const std::unique_ptr<Surface>& surface : m_surfaces)
        if (surface->window == window)
            return surface.get();
    return nullptr;
}

void LayerShell::placeOnOverlay(QWindow& window)
{
    if (find(&window))
        return;
    m_surfaces.push_back(std::make_unique<Surface>());
    Surface& surface = *m_surfaces.back();
    surface.window = &window;
    watch(surface);
    useBypassHint(true);
    assignRole(surface);
}

void LayerShell::watch(Surface& surface)
{
    QWindow* window = surface.window;
    connect(window, &QObject::destroyed, this, &LayerShell::forget);
    // QtWayland's window is a QObject beside QPlatformWindow; its signals are not API.
    surface.platformWindow = dynamic_cast<QObject*>(window->handle());
    if (surface.platformWindow) {
        connect(surface.platformWindow, SIGNAL(wlSurfaceCreated()), this,
                SLOT(onWlSurfaceCreated()), Qt::DirectConnection);
        connect(surface.platformWindow, SIGNAL(wlSurfaceDestroyed()), this,
                SLOT(onWlSurfaceDestroyed()), Qt::DirectConnection);
    }
}

void LayerShell::assignRole(Surface& surface)
{
    static const zwlr_layer_surface_v1_listener listener = {&LayerShell::onConfigure,
                                                            &LayerShell::onClosed};
    if (surface.layer || !surface.window)
        return;
    surface.wlSurface = surfaceOf(*surface.window);
    if (!surface.wlSurface)
        return; // made at the next show: onWlSurfaceCreated comes back here
    surface.configured = false;
    surface.layer = zwlr_layer_shell_v1_get_layer_surface(
        m_shell, surface.wlSurface, outputOf(surface.window->screen()),
        ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "tavimo");
    zwlr_layer_surface_v1_add_listener(surface.layer, &listener, &surface);
    zwlr_layer_surface_v1_set_anchor(surface.layer, kAllEdges);
    zwlr_layer_surface_v1_set_exclusive_zone(surface.layer, -1); // over panels too
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        surface.layer, surface.keyboard ? kKeyboardExclusive : kKeyboardNone);
    wl_surface_commit(surface.wlSurface);
    // Qt attaches a buffer as soon as the window shows, and a buffer before the first
    // configure is a protocol error that ends the connection.
    for (int i = 0; i < kConfigureRoundtrips && surface.layer && !surface.configured; ++i)
        if (!m_registry->roundtrip())
            break;
}

void LayerShell::dropRole(Surface& surface)
{
    if (surface.layer)
        zwlr_layer_surface_v1_destroy(surface.layer);
    surface.layer = nullptr;
    surface.wlSurface = nullptr;
    surface.configured = false;
}

void LayerShell::onWlSurfaceCreated()
{
    for (const std::unique_ptr<Surface>& surface : m_surfaces)
        if (surface->platformWindow == sender())
            assignRole(*surface);
}

void LayerShell::onWlSurfaceDestroyed()
{
    // Emitted before Qt destroys the wl_surface: the role object goes first.
    for (const std::unique_ptr<Surface>& surface : m_surfaces)
        if (surface->platformWindow == sender())
            dropRole(*surface);
}

void LayerShell::withdraw(QWindow& window)
{
    if (Surface* surface = find(&window); surface && surface->layer) {
        dropRole(*surface);
        // Sent now: Qt may destroy the surface in the same breath.
        wl_display_flush(m_registry->display());
    }
}

void LayerShell::forget(QObject* window)
{
    for (auto it = m_surfaces.begin(); it != m_surfaces.end(); ++it) {
        Surface& surface = **it;
        if (surface.window && surface.window != window)
            continue;
        dropRole(surface);
        m_surfaces.erase(it);
        if (m_surfaces.empty())
            useBypassHint(false);
        return;
    }
}

bool LayerShell::giveKeyboard(QWindow& window)
{
    Surface* surface = find(&window);
    if (!surface)
        return false;
    surface->keyboard = true; // also for a role given again at the next show
    if (surface->layer) {
        zwlr_layer_surface_v1_set_keyboard_interactivity(surface->layer, kKeyboardExclusive);
        wl_surface_commit(surface->wlSurface);
    }
    return true;
}

bool LayerShell::isOnOverlay(const QWindow& window) const
{
    const Surface* surface = find(&window);
    return surface && surface->layer && surface->configured;
}

void LayerShell::dispatch()
{
    if (!m_surfaces.empty())
        m_registry->dispatchPending();
}

// Qt reads the variable whenever it makes a window's shell, and also whenever it asks
// whether a window without one is exposed: it must stay set for as long as one of our
// windows lives, or Qt stops drawing them. Unset otherwise, so that programs started
// meanwhile do not inherit it.
void LayerShell::useBypassHint(bool use)
{
    if (m_hintSetByUser)
        return;
    if (use)
        qputenv(kBypassHint, "1");
    else
        qunsetenv(kBypassHint);
}

void LayerShell::onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, uint32_t serial,
                             uint32_t width, uint32_t height)
{
    auto* surface = static_cast<Surface*>(data);
    zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
    surface->configured = true;
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    // The output's size in its own coordinates; Qt's idea of it may lag behind.
    if (surface->window && !size.isEmpty() && surface->window->size() != size)
        surface->window->resize(size);
}

void LayerShell::onClosed(void* data, zwlr_layer_surface_v1*)
{
    // The output went away; the lock flow removes the window with its screen.
    auto* surface = static_cast<Surface*>(data);
    if (surface->layer)
        zwlr_layer_surface_v1_destroy(surface->layer);
    surface->layer = nullptr;
    surface->configured = false;
}

} // namespace platform
