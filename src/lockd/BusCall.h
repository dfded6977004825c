// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <string>

namespace lockd {

// The reply to an asynchronous call, or the error that stands in for it (no such service,
// a timeout): tell them apart with sd_bus_message_is_method_error(reply, nullptr).
using ReplyHandler = std::function<void(sd_bus_message* reply)>;

// Sends `call` and hands the reply to `handler` from the bus's event loop. False when it
// could not be sent; the handler is then never called.
bool callAsync(sd_bus* bus, sd_bus_message* call, uint64_t timeoutUsec, ReplyHandler handler);

// A new method call, or null.
sd_bus_message* newCall(sd_bus* bus, const char* destination, const char* path,
                        const char* interface, const char* member);

} // namespace lockd
