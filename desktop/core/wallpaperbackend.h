#pragma once

#include <string>

namespace kamelo::desktop {

// What the desktop shows: the picture as a file URI and its placement in
// GNOME's picture-options words (every back end speaks them), plus the
// desktop's own values verbatim where they say more (each monitor, workspace
// or desktop), so a restore puts back exactly what was there.
struct WallpaperState {
    std::string pictureUri;
    std::string pictureUriDark;
    std::string pictureOptions;
    // Opaque to all but the back end that wrote it; empty when the three
    // values above say everything.
    std::string native;
    bool operator==(const WallpaperState&) const = default;
};

// One desktop's wallpaper settings. A back end that is not available changes
// nothing; the caller tells the user the desktop is not supported.
class WallpaperBackend {
public:
    virtual ~WallpaperBackend() = default;
    virtual bool available() = 0;
    // false with a reason when the values cannot be read.
    virtual bool read(WallpaperState& out, std::string& error) = 0;
    // Writes all values at once and waits until they are stored; false with
    // a reason when any is refused (then none is changed).
    virtual bool write(const WallpaperState& state, std::string& error) = 0;
    // Some desktops only take a picture: they neither tell the current one
    // (so there is nothing to back up) nor take a placement.
    virtual bool readsCurrent() const { return true; }
    virtual bool placesPicture() const { return true; }
};

} // namespace kamelo::desktop
