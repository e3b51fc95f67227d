#pragma once

#include "imaging/core/fitsize.h"

#include <optional>
#include <string>

namespace kamelo::desktop {

// How the picture covers the desktop. The numbers are the placement ids.
enum class Placement { Center = 0, Tile = 1, Stretch = 2 };

// The browser's and the viewer's wallpaper commands.
inline constexpr int kCmdCenter = 1254;
inline constexpr int kCmdTile = 1255;
inline constexpr int kCmdStretch = 1256;
inline constexpr int kCmdRestore = 1257;
inline constexpr int kCmdViewerCenter = 1258;
inline constexpr int kCmdViewerTile = 1259;
inline constexpr int kCmdViewerStretch = 1260;
inline constexpr int kCmdViewerRestore = 1261;

// The wallpaper file's name; a desktop showing a file of this name shows
// one of ours.
inline constexpr const char* kWallpaperFileName = "PICWALL.BMP";

class WallpaperRules {
public:
    // The placement of a set command; none for any other number.
    static std::optional<Placement> placementForCommand(int command);
    static std::optional<Placement> placementForId(int id);
    static bool isRestoreCommand(int command);

    // The size the picture is saved at on a screen of screenW x screenH:
    // fitted when it is larger than the screen in either side or when it is
    // stretched, else its own size.
    static FitSize targetSize(int width, int height, int screenW, int screenH, Placement placement);

    // GNOME's picture-options for a placement: the desktop repeats a tiled
    // picture and centres every other (a stretched one is already screen
    // sized).
    static const char* pictureOption(Placement placement);

    // The file's "file://" URI, every byte outside the unreserved set and
    // "/" percent-encoded; the path must be absolute.
    static std::string fileUri(const std::string& absolutePath);
    // The local path of a "file://" URI (empty authority or "localhost"),
    // none for another scheme or a bad escape.
    static std::optional<std::string> pathOfFileUri(const std::string& uri);
    // Whether the URI names a file called PICWALL.BMP.
    static bool isProgramWallpaper(const std::string& uri);

    // Whether a colon-separated XDG_CURRENT_DESKTOP value names the desktop
    // (ASCII case ignored).
    static bool namesDesktop(const char* currentDesktop, const std::string& name);

    // The program writes its wallpaper into one of two sub-folders of its
    // data folder, the other one than the current wallpaper's, so that the
    // URI differs from the last set and the desktop loads the new picture.
    static std::string nextSubfolder(const std::string& currentUri);
    // dataFolder/kamelo/<sub>/PICWALL.BMP
    static std::string wallpaperPath(const std::string& dataHome, const std::string& currentUri);
};

} // namespace kamelo::desktop
