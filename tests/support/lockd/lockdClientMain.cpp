// SPDX-License-Identifier: GPL-3.0-or-later

// lockd-client: holds the keyboard lock the way Tavimo does, for tests and benchmarks.
// Calls Lock() (allowing interactive authorization with --interactive), prints "locked"
// or the error's name, then writes a heartbeat byte every 500 ms (--heartbeat-ms=N; 0
// for none) until the service hangs up ("ended", exit 0) or it is killed.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <poll.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    bool interactive = false;
    int heartbeatMs = 500;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--interactive")
            interactive = true;
        else if (argument.starts_with("--heartbeat-ms="))
            heartbeatMs = std::atoi(argv[i] + 15);
    }
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        std::printf("no-bus\n");
        return 1;
    }
    sd_bus_set_allow_interactive_authorization(bus, interactive);
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int fd = -1;
    if (sd_bus_call_method(bus, "app.tavimo.Tavimo.KeyboardLock", "/app/tavimo/Tavimo/KeyboardLock",
                           "app.tavimo.Tavimo.KeyboardLock1", "Lock", &error, &reply, "") < 0 ||
        sd_bus_message_read(reply, "h", &fd) < 0) {
        std::printf("%s\n", error.name ? error.name : "no-reply");
        std::fflush(stdout);
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;) {
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, heartbeatMs > 0 ? heartbeatMs : -1);
        if (ready > 0 && (watched.revents & (POLLHUP | POLLERR | POLLIN)))
            break; // the service never writes: any of these is its hang-up
        if (heartbeatMs > 0 && ::write(fd, "b", 1) != 1)
            break;
    }
    std::printf("ended\n");
    return 0;
}
