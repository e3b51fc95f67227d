#pragma once

#include "desktop/core/wallpaperbackend.h"

namespace kamelo::desktop {

// A desktop whose wallpaper lives in GSettings: GNOME, Cinnamon and MATE
// share the picture-options words and differ in schema and key names.
struct GSettingsWallpaperProfile {
    const char* desktopName; // as XDG_CURRENT_DESKTOP names it
    const char* otherName;   // a second spelling, or null
    const char* schema;
    const char* pictureKey;
    const char* darkKey; // null where the desktop has none
    bool pictureIsPath;  // MATE keeps a file name, not a URI
    const char* optionsKey;
};

// The wallpaper through GSettings, only where the running desktop is the
// profile's and the schema is installed (asking GSettings for a missing
// schema ends the program, so it is looked up first).
class GSettingsWallpaperBackend : public WallpaperBackend {
public:
    explicit GSettingsWallpaperBackend(const GSettingsWallpaperProfile& profile);

    bool available() override;
    bool read(WallpaperState& out, std::string& error) override;
    bool write(const WallpaperState& state, std::string& error) override;

    static const GSettingsWallpaperProfile kGnome;
    static const GSettingsWallpaperProfile kCinnamon;
    static const GSettingsWallpaperProfile kMate;

private:
    const GSettingsWallpaperProfile& profile_;
};

// GNOME's wallpaper: org.gnome.desktop.background.
class GnomeWallpaperBackend : public GSettingsWallpaperBackend {
public:
    static constexpr const char* kSchema = "org.gnome.desktop.background";
    GnomeWallpaperBackend() : GSettingsWallpaperBackend(kGnome) {}

    // Whether a colon-separated XDG_CURRENT_DESKTOP value names GNOME.
    static bool namesGnome(const char* currentDesktop);
};

} // namespace kamelo::desktop
