// SPDX-License-Identifier: GPL-3.0-or-later

// tavimo-lockd: the keyboard-lock service. Started by D-Bus activation (through systemd);
// runs on the system bus that DBUS_SYSTEM_BUS_ADDRESS names, if set.
//   tavimo-lockd [--idle-exit=SECONDS]   (0: never exit when idle; default 60)
#include "lockd/LinuxDeviceLayer.h"
#include "lockd/LockService.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv)
{
    lockd::LockService::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        constexpr std::string_view idle = "--idle-exit=";
        if (argument.starts_with(idle)) {
            options.idleExitUsec = std::strtoull(argv[i] + idle.size(), nullptr, 10) * 1'000'000;
        } else {
            std::fprintf(stderr, "usage: tavimo-lockd [--idle-exit=SECONDS]\n");
            return 2;
        }
    }
    sd_event* loop = nullptr;
    if (sd_event_default(&loop) < 0) {
        std::fprintf(stderr, "tavimo-lockd: cannot make an event loop\n");
        return 1;
    }
    const lockd::EventLoop ownLoop(loop);
    lockd::LinuxDeviceLayer devices;
    lockd::LockService service(loop, devices, options);
    std::string problem = service.connect();
    if (problem.empty())
        problem = service.start();
    if (!problem.empty()) {
        std::fprintf(stderr, "tavimo-lockd: %s\n", problem.c_str());
        return 1;
    }
    return service.run() < 0 ? 1 : 0;
}
