#pragma once

#include "wallpaperbackend.h"
#include "wallpaperrules.h"

#include <functional>
#include <string>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::desktop {

enum class WallpaperOutcome {
    Done,
    BadPlacement, // not 0, 1 or 2
    NotSupported, // no back end for this desktop: nothing changed
    Failed,       // nothing changed on the desktop; detail says why
    NoBackup,     // restore without a saved wallpaper: nothing changed
};

struct WallpaperResult {
    WallpaperOutcome outcome = WallpaperOutcome::Done;
    std::string detail;
};

// Setting and restoring the desktop wallpaper. The previous wallpaper is
// kept at "Control Panel\Desktop" in the settings store: the values the
// program has always kept ("PrevWallpaper", "PrevTileWallpaper",
// "PrevWallpaperStyle") and the desktop's own values verbatim
// ("PrevPictureUri", "PrevPictureUriDark", "PrevPictureOptions",
// "PrevDesktopValues"). A wallpaper the program set itself, or one the
// desktop does not tell, is never kept as the previous one.
class WallpaperService {
public:
    static constexpr const char* kKey = "Control Panel\\Desktop";

    // Writes the picture to the given path (its folder exists); false with a
    // reason when it cannot.
    using PictureWriter = std::function<bool(const std::string& path, std::string& error)>;

    // dataHome: $XDG_DATA_HOME (the wallpaper goes to dataHome/kamelo/).
    WallpaperService(WallpaperBackend& backend, SettingsStore& store, std::string dataHome);

    // The picture is written first; only when it and the backup are in place
    // is the desktop pointed at it.
    WallpaperResult set(int placementId, const PictureWriter& writePicture);
    WallpaperResult restore();

    bool hasBackup() const;

private:
    WallpaperBackend& backend_;
    SettingsStore& store_;
    std::string dataHome_;
};

} // namespace kamelo::desktop
