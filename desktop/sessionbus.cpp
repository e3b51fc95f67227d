#include "sessionbus.h"

namespace kamelo::desktop {

GDBusConnection* SessionBus::connection(std::string& error) {
    // No autolaunch of a bus that is not there: an address, or the user
    // bus's socket where systemd starts one.
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    const bool userBus = runtime && *runtime &&
                         g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS);
    if ((!address || !*address) && !userBus) {
        error = "DBUS_SESSION_BUS_ADDRESS";
        return nullptr;
    }
    // GLib keeps only a weak reference to the shared connection: the
    // program holds one for its life, and a new one when the bus went away.
    static GDBusConnection* kept = nullptr;
    if (kept && !g_dbus_connection_is_closed(kept))
        return kept;
    if (kept)
        g_object_unref(kept);
    kept = nullptr;
    GError* e = nullptr;
    GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &e);
    if (!c) {
        error = e ? e->message : "session bus";
        g_clear_error(&e);
        return nullptr;
    }
    kept = c;
    return kept;
}

GVariant* SessionBus::call(const char* service, const char* path, const char* interface,
                           const char* method, GVariant* parameters, const char* replyType,
                           int timeoutMs, std::string& error) {
    GDBusConnection* c = connection(error);
    if (!c) {
        if (parameters)
            g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    GError* e = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(c, service, path, interface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &e);
    if (!reply) {
        error = std::string(service) + " " + method + ": " + (e ? e->message : "");
        g_clear_error(&e);
    }
    return reply;
}

bool SessionBus::hasOwner(const char* name) {
    std::string error;
    GVariant* reply = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", g_variant_new("(s)", name), "(b)", kQuickMs, error);
    if (!reply)
        return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

} // namespace kamelo::desktop
