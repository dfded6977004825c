// SPDX-License-Identifier: GPL-3.0-or-later

// Stands in for polkit and systemd-logind on the guest's system bus, which has neither:
//   guest-authorities
// owns org.freedesktop.PolicyKit1 (CheckAuthorization grants every subject, as polkit
// does for a local active user) and org.freedesktop.login1 (every process is in an active
// session at seat0 of its own user: GetSessionByPID and the session's properties). Prints
// "ready" once both names are owned and runs until killed.
#include <fstream>
#include <iostream>
#include <string>

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

namespace {

constexpr const char* kSessionPrefix = "/org/freedesktop/login1/session";

// The real uid of a process, from /proc; -1 when it is gone.
long uidOf(uint32_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) == 0)
            return std::stol(line.substr(4));
    }
    return -1;
}

int checkAuthorization(sd_bus_message* call, void*, sd_bus_error*)
{
    sd_bus_message* reply = nullptr;
    int result = sd_bus_message_new_method_return(call, &reply);
    if (result >= 0)
        result = sd_bus_message_append(reply, "(bba{ss})", 1, 0, 0);
    if (result >= 0)
        result = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return result;
}

int sessionByPid(sd_bus_message* call, void*, sd_bus_error* error)
{
    uint32_t pid = 0;
    if (sd_bus_message_read(call, "u", &pid) < 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "pid expected");
    const long uid = uidOf(pid);
    if (uid < 0)
        return sd_bus_error_set(error, "org.freedesktop.login1.NoSessionForPID", "no such process");
    const std::string path = std::string(kSessionPrefix) + "/u" + std::to_string(uid);
    return sd_bus_reply_method_return(call, "o", path.c_str());
}

// Properties.GetAll of /org/freedesktop/login1/session/uUID: at seat0, active, UID's.
int sessionObject(sd_bus_message* call, void*, sd_bus_error* error)
{
    if (!sd_bus_message_is_method_call(call, "org.freedesktop.DBus.Properties", "GetAll"))
        return 0;
    const std::string path = sd_bus_message_get_path(call);
    const std::string prefix = std::string(kSessionPrefix) + "/u";
    if (path.rfind(prefix, 0) != 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_OBJECT, "no such session");
    const uint32_t uid = static_cast<uint32_t>(std::stoul(path.substr(prefix.size())));
    const std::string user = "/org/freedesktop/login1/user/_" + std::to_string(uid);
    return sd_bus_reply_method_return(call, "a{sv}", 4, "Active", "b", 1, "Remote", "b", 0, "Seat",
                                      "(so)", "seat0", "/org/freedesktop/login1/seat/seat0", "User",
                                      "(uo)", uid, user.c_str());
}

const sd_bus_vtable kAuthority[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("CheckAuthorization", "(sa{sv})sa{ss}us", "(bba{ss})", checkAuthorization, 0),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetSessionByPID", "u", "o", sessionByPid, 0),
    SD_BUS_VTABLE_END,
};

} // namespace

int main()
{
    sd_bus* bus = nullptr;
    sd_event* loop = nullptr;
    const bool ready =
        sd_event_default(&loop) >= 0 && sd_bus_open_system(&bus) >= 0 &&
        sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/PolicyKit1/Authority",
                                 "org.freedesktop.PolicyKit1.Authority", kAuthority,
                                 nullptr) >= 0 &&
        sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                                 "org.freedesktop.login1.Manager", kManager, nullptr) >= 0 &&
        sd_bus_add_fallback(bus, nullptr, kSessionPrefix, sessionObject, nullptr) >= 0 &&
        sd_bus_request_name(bus, "org.freedesktop.PolicyKit1", 0) >= 0 &&
        sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0 &&
        sd_bus_attach_event(bus, loop, 0) >= 0;
    if (!ready) {
        std::cout << "error cannot serve polkit and logind on the system bus" << std::endl;
        return 1;
    }
    std::cout << "ready" << std::endl;
    return sd_event_loop(loop) < 0 ? 1 : 0;
}
