#include "gnomewallpaperbackend.h"

#include "desktop/core/wallpaperrules.h"

// GLib's headers use "signals" as a field name, which Qt defines away.
#undef signals
#include <gio/gio.h>

#include <cstdlib>

namespace kamelo::desktop {

const GSettingsWallpaperProfile GSettingsWallpaperBackend::kGnome = {
    "GNOME", nullptr,          "org.gnome.desktop.background", "picture-uri", "picture-uri-dark",
    false,   "picture-options"};
const GSettingsWallpaperProfile GSettingsWallpaperBackend::kCinnamon = {
    "X-Cinnamon", "Cinnamon",       "org.cinnamon.desktop.background", "picture-uri", nullptr,
    false,        "picture-options"};
const GSettingsWallpaperProfile GSettingsWallpaperBackend::kMate = {
    "MATE", nullptr, "org.mate.background", "picture-filename", nullptr, true, "picture-options"};

namespace {

struct Settings {
    GSettingsSchema* schema = nullptr;
    GSettings* settings = nullptr;
    const GSettingsWallpaperProfile& p;
    explicit Settings(const GSettingsWallpaperProfile& profile) : p(profile) {
        if (GSettingsSchemaSource* source = g_settings_schema_source_get_default())
            schema = g_settings_schema_source_lookup(source, p.schema, TRUE);
        if (schema && g_settings_schema_has_key(schema, p.pictureKey) &&
            g_settings_schema_has_key(schema, p.optionsKey))
            settings = g_settings_new_full(schema, nullptr, nullptr);
    }
    ~Settings() {
        if (settings)
            g_object_unref(settings);
        if (schema)
            g_settings_schema_unref(schema);
    }
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    bool hasDark() const {
        return p.darkKey && schema && g_settings_schema_has_key(schema, p.darkKey);
    }
    std::string text(const char* key) const {
        gchar* v = g_settings_get_string(settings, key);
        std::string s = v ? v : "";
        g_free(v);
        return s;
    }
    // The picture key holds a URI or, for MATE, a path.
    std::string pictureUri() const {
        const std::string v = text(p.pictureKey);
        return p.pictureIsPath && !v.empty() ? WallpaperRules::fileUri(v) : v;
    }
    std::string pictureValue(const std::string& uri) const {
        if (!p.pictureIsPath)
            return uri;
        return WallpaperRules::pathOfFileUri(uri).value_or(uri);
    }
};

} // namespace

GSettingsWallpaperBackend::GSettingsWallpaperBackend(const GSettingsWallpaperProfile& profile)
    : profile_(profile) {}

bool GnomeWallpaperBackend::namesGnome(const char* currentDesktop) {
    return WallpaperRules::namesDesktop(currentDesktop, "GNOME");
}

bool GSettingsWallpaperBackend::available() {
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    if (!WallpaperRules::namesDesktop(current, profile_.desktopName) &&
        !(profile_.otherName && WallpaperRules::namesDesktop(current, profile_.otherName)))
        return false;
    Settings s(profile_);
    return s.settings != nullptr;
}

bool GSettingsWallpaperBackend::read(WallpaperState& out, std::string& error) {
    Settings s(profile_);
    if (!s.settings) {
        error = profile_.schema;
        return false;
    }
    out.pictureUri = s.pictureUri();
    out.pictureUriDark = s.hasDark() ? s.text(profile_.darkKey) : out.pictureUri;
    out.pictureOptions = s.text(profile_.optionsKey);
    out.native.clear();
    return true;
}

bool GSettingsWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    Settings s(profile_);
    if (!s.settings) {
        error = profile_.schema;
        return false;
    }
    for (const char* key : {profile_.pictureKey, profile_.darkKey, profile_.optionsKey}) {
        if (!key || (key == profile_.darkKey && !s.hasDark()) ||
            g_settings_is_writable(s.settings, key))
            continue;
        error = std::string(profile_.schema) + " " + key;
        return false;
    }
    // All keys reach the desktop together.
    g_settings_delay(s.settings);
    const std::string picture = s.pictureValue(state.pictureUri);
    bool ok = g_settings_set_string(s.settings, profile_.pictureKey, picture.c_str()) &&
              (!s.hasDark() ||
               g_settings_set_string(s.settings, profile_.darkKey, state.pictureUriDark.c_str())) &&
              g_settings_set_string(s.settings, profile_.optionsKey, state.pictureOptions.c_str());
    if (!ok) {
        g_settings_revert(s.settings);
        error = std::string(profile_.schema) + " " + profile_.optionsKey + "='" +
                state.pictureOptions + "'";
        return false;
    }
    g_settings_apply(s.settings);
    g_settings_sync();
    return true;
}

} // namespace kamelo::desktop
