// SPDX-License-Identifier: GPL-3.0-or-later

// A virtual keyboard, mouse or combo receiver driven line by line on stdin:
//   virtual-input keyboard|mouse|combo NAME
// prints "ready NODE" once the device exists, then answers each command with "ok":
//   type N     N keystrokes (press and release) over the letters
//   down CODE  press and hold key CODE;   up CODE   release it
//   move N     N pointer motions of one unit to the right
//   click      left button press and release
// The device goes away at end of input.
#include "UinputDevice.h"

#include <iostream>
#include <sstream>
#include <string>

#include <linux/input.h>
#include <sched.h>
#include <unistd.h>

namespace {

// Idle priority alone does not hold back a writer while another busy program (udevd, say)
// shares the processor with the readers: also let go of it after every few events.
void pace(long count)
{
    if (count % 8 == 7)
        usleep(200);
}

bool typeKeys(UinputDevice& device, long count)
{
    static constexpr int letters[] = {KEY_A, KEY_S, KEY_D, KEY_F, KEY_J, KEY_K, KEY_L, KEY_E};
    for (long i = 0; i < count; ++i) {
        const int code = letters[i % 8];
        if (!device.report(EV_KEY, code, 1) || !device.report(EV_KEY, code, 0))
            return false;
        pace(i);
    }
    return true;
}

bool move(UinputDevice& device, long count)
{
    for (long i = 0; i < count; ++i) {
        if (!device.report(EV_REL, REL_X, 1))
            return false;
        pace(i);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    if (argc != 3 || (kind != "keyboard" && kind != "mouse" && kind != "combo")) {
        std::cerr << "usage: virtual-input keyboard|mouse|combo NAME\n";
        return 2;
    }
    const auto deviceKind = kind == "keyboard" ? UinputDevice::Kind::Keyboard
                            : kind == "mouse"  ? UinputDevice::Kind::Mouse
                                               : UinputDevice::Kind::Combo;
    // Whoever reads the device (the stand-in compositor, the service) must take each event
    // before the next one comes: evdev drops a reader's whole buffer (64 events for a
    // keyboard) when it falls behind. At idle priority every woken reader runs first.
    const sched_param idle{};
    sched_setscheduler(0, SCHED_IDLE, &idle);
    UinputDevice device(deviceKind, argv[2]);
    if (!device.isValid()) {
        std::cout << "error " << device.error() << std::endl;
        return 1;
    }
    std::cout << "ready " << device.node() << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        long argument = 0;
        words >> command >> argument;
        bool done = false;
        if (command == "type")
            done = typeKeys(device, argument);
        else if (command == "down" || command == "up")
            done = device.report(EV_KEY, static_cast<int>(argument), command == "down" ? 1 : 0);
        else if (command == "move")
            done = move(device, argument);
        else if (command == "click")
            done = device.report(EV_KEY, BTN_LEFT, 1) && device.report(EV_KEY, BTN_LEFT, 0);
        std::cout << (done ? "ok" : "error " + line) << std::endl;
    }
    return 0;
}
