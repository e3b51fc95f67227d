#pragma once

#include "desktop/core/wallpaperbackend.h"

namespace kamelo::desktop {

// The XDG desktop portal's Wallpaper interface, for desktops without a back
// end of their own (and sandboxes). It takes a picture and nothing else: it
// neither tells the current wallpaper nor takes a placement.
class PortalWallpaperBackend : public WallpaperBackend {
public:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.Wallpaper";

    bool available() override;
    // Gives nothing: the portal has no way to ask.
    bool read(WallpaperState& out, std::string& error) override;
    // Hands the picture's file over and waits for the portal's answer.
    bool write(const WallpaperState& state, std::string& error) override;
    bool readsCurrent() const override { return false; }
    bool placesPicture() const override { return false; }
};

} // namespace kamelo::desktop
