// A Secret Service that takes its bus name and never answers a call: what a keyring stuck behind an
// unlock prompt no one sees looks like to its clients. Prints "ready" once it owns the name.
#include <gio/gio.h>

#include <unistd.h>

#include <cstdio>

namespace {

GDBusMessage* swallowCalls(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer) {
    if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
        g_object_unref(message);
        return nullptr;  // why: dropped here, so GDBus sends neither an answer nor an error
    }
    return message;
}

}  // namespace

int main() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        std::fprintf(stderr, "no session bus: %s\n", error->message);
        return 1;
    }
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", "org.freedesktop.secrets", 0u), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "cannot own the name: %s\n", error->message);
        return 1;
    }
    g_variant_unref(reply);
    g_dbus_connection_add_filter(bus, swallowCalls, nullptr, nullptr);
    std::puts("ready");
    std::fflush(stdout);
    for (;;) pause();
}
