#include "portalwallpaperbackend.h"

#include "desktop/core/wallpaperrules.h"
#include "desktop/sessionbus.h"

#include <gio/gunixfdlist.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace kamelo::desktop {

namespace {

// The Response signal of one request, caught on a private main context.
struct Pending {
    std::string path;
    bool answered = false;
    guint32 response = 2;
};

void onResponse(GDBusConnection*, const gchar*, const gchar* objectPath, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
    auto* pending = static_cast<Pending*>(data);
    if (pending->answered || pending->path != objectPath ||
        !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
        return;
    g_variant_get(parameters, "(u@a{sv})", &pending->response, nullptr);
    pending->answered = true;
}

gboolean onTimeout(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

// The request object the portal creates for a handle token (its naming is
// fixed so that the answer can be awaited before the call returns).
std::string requestPath(GDBusConnection* c, const std::string& token) {
    std::string sender =
        g_dbus_connection_get_unique_name(c) ? g_dbus_connection_get_unique_name(c) : "";
    if (!sender.empty() && sender[0] == ':')
        sender.erase(0, 1);
    for (char& ch : sender)
        if (ch == '.')
            ch = '_';
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
}

} // namespace

bool PortalWallpaperBackend::available() {
    std::string error;
    GVariant* reply = SessionBus::call(kService, kPath, "org.freedesktop.DBus.Properties", "Get",
                                       g_variant_new("(ss)", kInterface, "version"), "(v)",
                                       SessionBus::kQuickMs * 3, error);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

bool PortalWallpaperBackend::read(WallpaperState& out, std::string&) {
    out = {};
    return true;
}

bool PortalWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    const std::optional<std::string> file = WallpaperRules::pathOfFileUri(state.pictureUri);
    if (!file) {
        error = state.pictureUri;
        return false;
    }
    GDBusConnection* c = SessionBus::connection(error);
    if (!c)
        return false;
    const int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = *file + ": " + g_strerror(errno);
        return false;
    }
    GUnixFDList* fds = g_unix_fd_list_new_from_array(&fd, 1); // takes the descriptor

    static std::atomic<unsigned> serial{0};
    const std::string token =
        "kamelo" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    Pending pending;
    pending.path = requestPath(c, token);

    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    const guint subscription = g_dbus_connection_signal_subscribe(
        c, kService, "org.freedesktop.portal.Request", "Response", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onResponse, &pending, nullptr);

    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "show-preview", g_variant_new_boolean(FALSE));
    g_variant_builder_add(&options, "{sv}", "set-on", g_variant_new_string("background"));
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    GError* e = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        c, kService, kPath, kInterface, "SetWallpaperFile",
        g_variant_new("(sha{sv})", "", 0, &options), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE,
        SessionBus::kSlowMs, fds, nullptr, nullptr, &e);
    g_object_unref(fds);

    bool ok = false;
    if (!reply) {
        error = std::string("SetWallpaperFile: ") + (e ? e->message : "");
        g_clear_error(&e);
    } else {
        const gchar* handle = nullptr;
        g_variant_get(reply, "(&o)", &handle);
        // An older portal names the request its own way.
        if (handle)
            pending.path = handle;
        g_variant_unref(reply);
        bool timedOut = false;
        GSource* timer = g_timeout_source_new(SessionBus::kSlowMs);
        g_source_set_callback(timer, onTimeout, &timedOut, nullptr);
        g_source_attach(timer, context);
        while (!pending.answered && !timedOut)
            g_main_context_iteration(context, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
        if (!pending.answered)
            error = "SetWallpaperFile: no answer";
        else if (pending.response == 1)
            error = "SetWallpaperFile: cancelled";
        else if (pending.response != 0)
            error = "SetWallpaperFile: refused";
        ok = pending.answered && pending.response == 0;
    }
    g_dbus_connection_signal_unsubscribe(c, subscription);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return ok;
}

} // namespace kamelo::desktop
