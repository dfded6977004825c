// SPDX-License-Identifier: GPL-3.0-or-later

#include "lockd/BusCall.h"

namespace lockd {

bool callAsync(sd_bus* bus, sd_bus_message* call, uint64_t timeoutUsec, ReplyHandler handler)
{
    auto* stored = new ReplyHandler(std::move(handler));
    sd_bus_slot* slot = nullptr;
    const int sent = sd_bus_call_async(
        bus, &slot, call,
        [](sd_bus_message* reply, void* data, sd_bus_error*) {
            (*static_cast<ReplyHandler*>(data))(reply);
            return 0;
        },
        stored, timeoutUsec);
    if (sent < 0) {
        delete stored;
        return false;
    }
    // The bus owns the slot from now on and frees the handler with it, after the reply.
    sd_bus_slot_set_destroy_callback(slot,
                                     [](void* data) { delete static_cast<ReplyHandler*>(data); });
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
    return true;
}

sd_bus_message* newCall(sd_bus* bus, const char* destination, const char* path,
                        const char* interface, const char* member)
{
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, destination, path, interface, member) < 0)
        return nullptr;
    return call;
}

} // namespace lockd
