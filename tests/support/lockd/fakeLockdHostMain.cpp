// SPDX-License-Identifier: GPL-3.0-or-later

// lockd-fake-host: the keyboard-lock service as installed (LockService on the system bus),
// with stand-in devices instead of the machine's, which tests plug, unplug and press over
// the bus (app.tavimo.Tavimo.Test.FakeDevices at /app/tavimo/Tavimo/Test/FakeDevices).
//   lockd-fake-host [--heartbeat-timeout-ms=N] [--idle-exit=SECONDS]   (idle exit off by default)
#include "support/lockd/FakeDeviceLayer.h"
#include "lockd/LockService.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

struct Host {
    FakeDeviceLayer devices;
    int plugged = 0;
};

Host* hostOf(void* data)
{
    return static_cast<Host*>(data);
}

int plug(sd_bus_message* message, void* data, sd_bus_error* error)
{
    const char* kind = nullptr;
    int heldByOther = 0;
    if (sd_bus_message_read(message, "sb", &kind, &heldByOther) < 0)
        return -EINVAL;
    Host& host = *hostOf(data);
    const std::string path = "/dev/input/event" + std::to_string(++host.plugged);
    // "keyboard" or "keyboard@seat1": a device of another seat than seat0.
    std::string_view which(kind);
    std::string seat = "seat0";
    if (const std::size_t at = which.find('@'); at != std::string_view::npos) {
        seat = which.substr(at + 1);
        which = which.substr(0, at);
    }
    lockd::InputNode node;
    if (which == "keyboard")
        node = fake::keyboard(path);
    else if (which == "mouse")
        node = fake::mouse(path);
    else if (which == "combo")
        node = fake::combo(path);
    else if (which == "lid")
        node = fake::lidSwitch(path);
    else
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "unknown kind of device");
    node.seat = seat;
    host.devices.add(node, heldByOther);
    return sd_bus_reply_method_return(message, "s", path.c_str());
}

int unplug(sd_bus_message* message, void* data, sd_bus_error*)
{
    const char* path = nullptr;
    if (sd_bus_message_read(message, "s", &path) < 0)
        return -EINVAL;
    hostOf(data)->devices.unplug(path);
    return sd_bus_reply_method_return(message, "");
}

int key(sd_bus_message* message, void* data, sd_bus_error*)
{
    const char* path = nullptr;
    uint32_t code = 0;
    int down = 0;
    if (sd_bus_message_read(message, "sub", &path, &code, &down) < 0)
        return -EINVAL;
    if (down)
        hostOf(data)->devices.press(path, code);
    else
        hostOf(data)->devices.release(path, code);
    return sd_bus_reply_method_return(message, "");
}

int grabbed(sd_bus_message* message, void* data, sd_bus_error*)
{
    const char* path = nullptr;
    if (sd_bus_message_read(message, "s", &path) < 0)
        return -EINVAL;
    return sd_bus_reply_method_return(message, "b", hostOf(data)->devices.isGrabbed(path));
}

int grabbedCount(sd_bus_message* message, void* data, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "i", hostOf(data)->devices.grabbedCount());
}

const sd_bus_vtable kControl[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Plug", "sb", "s", plug, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Unplug", "s", "", unplug, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Key", "sub", "", key, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Grabbed", "s", "b", grabbed, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GrabbedCount", "", "i", grabbedCount, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

} // namespace

int main(int argc, char** argv)
{
    lockd::LockService::Options options;
    options.idleExitUsec = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument.starts_with("--heartbeat-timeout-ms="))
            options.timing.heartbeatTimeoutUsec = std::strtoull(argv[i] + 23, nullptr, 10) * 1000;
        else if (argument.starts_with("--idle-exit="))
            options.idleExitUsec = std::strtoull(argv[i] + 12, nullptr, 10) * 1'000'000;
    }
    sd_event* loop = nullptr;
    if (sd_event_default(&loop) < 0)
        return 1;
    const lockd::EventLoop ownLoop(loop);
    Host host;
    lockd::LockService service(loop, host.devices, options);
    std::string problem = service.connect();
    sd_bus_slot* control = nullptr;
    if (problem.empty() &&
        sd_bus_add_object_vtable(service.bus(), &control, "/app/tavimo/Tavimo/Test/FakeDevices",
                                 "app.tavimo.Tavimo.Test.FakeDevices", kControl, &host) < 0)
        problem = "cannot serve the device controls";
    const lockd::BusSlot ownControl(control);
    if (problem.empty())
        problem = service.start();
    if (!problem.empty()) {
        std::fprintf(stderr, "lockd-fake-host: %s\n", problem.c_str());
        return 1;
    }
    return service.run() < 0 ? 1 : 0;
}
