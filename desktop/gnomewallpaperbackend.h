#pragma once

#include "desktop/core/wallpaperbackend.h"

namespace kamelo::desktop {

// GNOME's wallpaper: org.gnome.desktop.background through GSettings. Only
// where the running desktop names GNOME in XDG_CURRENT_DESKTOP and the schema
// is installed (asking GSettings for a missing schema ends the program, so
// it is looked up first).
class GnomeWallpaperBackend : public WallpaperBackend {
public:
    static constexpr const char* kSchema = "org.gnome.desktop.background";

    bool available() override;
    bool read(WallpaperState& out, std::string& error) override;
    bool write(const WallpaperState& state, std::string& error) override;

    // Whether a colon-separated XDG_CURRENT_DESKTOP value names GNOME.
    static bool namesGnome(const char* currentDesktop);
};

} // namespace kamelo::desktop
