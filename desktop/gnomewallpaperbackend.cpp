#include "gnomewallpaperbackend.h"

// GLib's headers use "signals" as a field name, which Qt defines away.
#undef signals
#include <gio/gio.h>

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace kamelo::desktop {

namespace {

const char* const kUri = "picture-uri";
const char* const kUriDark = "picture-uri-dark";
const char* const kOptions = "picture-options";

// The installed schema, or null. The caller unrefs it.
GSettingsSchema* lookupSchema() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr;
    return g_settings_schema_source_lookup(source, GnomeWallpaperBackend::kSchema, TRUE);
}

struct Settings {
    GSettingsSchema* schema = nullptr;
    GSettings* settings = nullptr;
    Settings() {
        schema = lookupSchema();
        if (schema && g_settings_schema_has_key(schema, kUri) &&
            g_settings_schema_has_key(schema, kOptions))
            settings = g_settings_new_full(schema, nullptr, nullptr);
    }
    ~Settings() {
        if (settings)
            g_object_unref(settings);
        if (schema)
            g_settings_schema_unref(schema);
    }
    bool hasDark() const { return schema && g_settings_schema_has_key(schema, kUriDark); }
    std::string text(const char* key) const {
        gchar* v = g_settings_get_string(settings, key);
        std::string s = v ? v : "";
        g_free(v);
        return s;
    }
};

} // namespace

bool GnomeWallpaperBackend::namesGnome(const char* currentDesktop) {
    if (!currentDesktop)
        return false;
    const char* p = currentDesktop;
    while (*p) {
        const char* end = std::strchr(p, ':');
        const size_t n = end ? size_t(end - p) : std::strlen(p);
        if (n == 5 && strncasecmp(p, "GNOME", 5) == 0)
            return true;
        if (!end)
            break;
        p = end + 1;
    }
    return false;
}

bool GnomeWallpaperBackend::available() {
    if (!namesGnome(std::getenv("XDG_CURRENT_DESKTOP")))
        return false;
    Settings s;
    return s.settings != nullptr;
}

bool GnomeWallpaperBackend::read(WallpaperState& out, std::string& error) {
    Settings s;
    if (!s.settings) {
        error = kSchema;
        return false;
    }
    out.pictureUri = s.text(kUri);
    out.pictureUriDark = s.hasDark() ? s.text(kUriDark) : out.pictureUri;
    out.pictureOptions = s.text(kOptions);
    return true;
}

bool GnomeWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    Settings s;
    if (!s.settings) {
        error = kSchema;
        return false;
    }
    for (const char* key : {kUri, kUriDark, kOptions}) {
        if ((key == kUriDark && !s.hasDark()) || g_settings_is_writable(s.settings, key))
            continue;
        error = std::string(kSchema) + " " + key;
        return false;
    }
    // All three reach the desktop together.
    g_settings_delay(s.settings);
    bool ok = g_settings_set_string(s.settings, kUri, state.pictureUri.c_str()) &&
              (!s.hasDark() ||
               g_settings_set_string(s.settings, kUriDark, state.pictureUriDark.c_str())) &&
              g_settings_set_string(s.settings, kOptions, state.pictureOptions.c_str());
    if (!ok) {
        g_settings_revert(s.settings);
        error = std::string(kSchema) + " " + kOptions + "='" + state.pictureOptions + "'";
        return false;
    }
    g_settings_apply(s.settings);
    g_settings_sync();
    return true;
}

} // namespace kamelo::desktop
