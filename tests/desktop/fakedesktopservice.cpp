// A stand-in for the desktop's wallpaper services on a private session bus,
// writing what it receives to a log:
//   fakedesktopservice portal LOG RESPONSE   (0 done, 1 cancelled)
//   fakedesktopservice plasma LOG REPLYFILE  (what every script prints)
// It prints "ready" once its name is owned.
#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string gMode, gLog, gArg;

const char* const kPortalXml = R"(<node><interface name="org.freedesktop.portal.Wallpaper">
<method name="SetWallpaperFile"><arg type="s" direction="in"/><arg type="h" direction="in"/>
<arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
<property name="version" type="u" access="read"/></interface></node>)";

const char* const kPlasmaXml = R"(<node><interface name="org.kde.PlasmaShell">
<method name="evaluateScript"><arg type="s" direction="in"/><arg type="s" direction="out"/>
</method></interface></node>)";

void append(const std::string& text) {
    std::ofstream(gLog, std::ios::app) << text;
}

std::string option(GVariant* options, const char* key) {
    GVariant* v = g_variant_lookup_value(options, key, nullptr);
    if (!v)
        return "(none)";
    gchar* printed = g_variant_print(v, FALSE);
    std::string s = printed;
    g_free(printed);
    g_variant_unref(v);
    return s;
}

void portalCall(GDBusConnection* c, const gchar* sender, GVariant* parameters,
                GDBusMethodInvocation* invocation) {
    const gchar* parent = nullptr;
    gint32 handle = -1;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&sh@a{sv})", &parent, &handle, &options);
    GUnixFDList* fds =
        g_dbus_message_get_unix_fd_list(g_dbus_method_invocation_get_message(invocation));
    std::string file = "(no fd)";
    if (fds && handle >= 0 && handle < g_unix_fd_list_get_length(fds)) {
        const int fd = g_unix_fd_list_get(fds, handle, nullptr);
        char target[4096] = {};
        const ssize_t n =
            ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
        file = n > 0 ? std::string(target, size_t(n)) : "(unreadable)";
        ::close(fd);
    }
    std::string token = option(options, "handle_token");
    append("parent=" + std::string(parent) + " file=" + file + " show-preview=" +
           option(options, "show-preview") + " set-on=" + option(options, "set-on") + "\n");
    g_variant_unref(options);
    std::string who = sender + 1;
    for (char& ch : who)
        if (ch == '.')
            ch = '_';
    if (token.size() >= 2)
        token = token.substr(1, token.size() - 2);
    const std::string path = "/org/freedesktop/portal/desktop/request/" + who + "/" + token;
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE("a{sv}"));
    g_dbus_connection_emit_signal(
        c, sender, path.c_str(), "org.freedesktop.portal.Request", "Response",
        g_variant_new("(ua{sv})", guint32(std::atoi(gArg.c_str())), &results), nullptr);
}

void onCall(GDBusConnection* c, const gchar* sender, const gchar*, const gchar*, const gchar*,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (gMode == "portal") {
        portalCall(c, sender, parameters, invocation);
        return;
    }
    const gchar* script = nullptr;
    g_variant_get(parameters, "(&s)", &script);
    append(std::string(script) + "\n----\n");
    std::ifstream in(gArg);
    const std::string reply((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", reply.c_str()));
}

GVariant* onGet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                gpointer) {
    return g_variant_new_uint32(1);
}

const GDBusInterfaceVTable kVTable = {onCall, onGet, nullptr, {}};

void onBus(GDBusConnection* c, const gchar*, gpointer) {
    const bool portal = gMode == "portal";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(portal ? kPortalXml : kPlasmaXml, nullptr);
    g_dbus_connection_register_object(c,
                                      portal ? "/org/freedesktop/portal/desktop" : "/PlasmaShell",
                                      node->interfaces[0], &kVTable, nullptr, nullptr, nullptr);
    g_dbus_node_info_unref(node);
}

void onName(GDBusConnection*, const gchar*, gpointer) {
    std::printf("ready\n");
    std::fflush(stdout);
}

void onLost(GDBusConnection*, const gchar*, gpointer) {
    std::exit(3);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    gMode = argv[1];
    gLog = argv[2];
    gArg = argv[3];
    g_bus_own_name(G_BUS_TYPE_SESSION,
                   gMode == "portal" ? "org.freedesktop.portal.Desktop" : "org.kde.plasmashell",
                   G_BUS_NAME_OWNER_FLAGS_NONE, onBus, onName, onLost, nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
