#pragma once

#include <string>

namespace kamelo::desktop {

// What the desktop shows, in the desktop's own values (GNOME: picture-uri,
// picture-uri-dark and picture-options), so a restore puts back exactly what
// was there.
struct WallpaperState {
    std::string pictureUri;
    std::string pictureUriDark;
    std::string pictureOptions;
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
};

} // namespace kamelo::desktop
