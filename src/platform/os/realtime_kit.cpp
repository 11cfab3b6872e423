#include "platform/os/realtime_kit.h"

#include <dbus/dbus.h>
#include <sys/resource.h>

namespace korvex::os {

namespace {
// RealtimeKit's own limit for real-time CPU time without a pause (microseconds).
constexpr rlim_t kRtTimeUs = 200000;
constexpr int kTimeoutMs = 2000;
}  // namespace

bool makeThreadRealtimeThroughKit(pid_t tid, int priority, std::string& why) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kRtTimeUs)) {
        limit.rlim_cur = kRtTimeUs;
        limit.rlim_max = kRtTimeUs;
        (void)::setrlimit(RLIMIT_RTTIME, &limit);
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (bus == nullptr) {
        why = "no system message bus";
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    bool ok = false;
    if (DBusMessage* call =
            dbus_message_new_method_call("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                                         "org.freedesktop.RealtimeKit1", "MakeThreadRealtime")) {
        dbus_uint64_t thread = static_cast<dbus_uint64_t>(tid);
        dbus_uint32_t level = static_cast<dbus_uint32_t>(priority);
        if (dbus_message_append_args(call, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &level,
                                     DBUS_TYPE_INVALID)) {
            DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, kTimeoutMs, &error);
            ok = reply != nullptr;
            if (reply != nullptr)
                dbus_message_unref(reply);
            else
                why = dbus_error_is_set(&error) && error.message != nullptr ? error.message : "no answer";
        }
        dbus_message_unref(call);
    }
    dbus_error_free(&error);
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return ok;
}

}  // namespace korvex::os
