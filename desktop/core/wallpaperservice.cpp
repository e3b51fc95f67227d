#include "wallpaperservice.h"

#include "registrytext.h"

#include <filesystem>
#include <system_error>

namespace kamelo::desktop {

namespace {

const char* const kPrevWallpaper = "PrevWallpaper";
const char* const kPrevTile = "PrevTileWallpaper";
const char* const kPrevStyle = "PrevWallpaperStyle";
const char* const kPrevUri = "PrevPictureUri";
const char* const kPrevUriDark = "PrevPictureUriDark";
const char* const kPrevOptions = "PrevPictureOptions";
const char* const kPrevNative = "PrevDesktopValues";

// The style number the same look has always had among the saved values.
std::string styleOf(const std::string& options) {
    if (options == "stretched")
        return "2";
    if (options == "scaled")
        return "6";
    if (options == "zoom")
        return "10";
    if (options == "spanned")
        return "22";
    return "0";
}

} // namespace

WallpaperService::WallpaperService(WallpaperBackend& backend, SettingsStore& store,
                                   std::string dataHome)
    : backend_(backend), store_(store), dataHome_(std::move(dataHome)) {}

bool WallpaperService::hasBackup() const {
    return RegistryText(store_).find(kKey, kPrevUri).has_value();
}

WallpaperResult WallpaperService::set(int placementId, const PictureWriter& writePicture) {
    const std::optional<Placement> placement = WallpaperRules::placementForId(placementId);
    if (!placement)
        return {WallpaperOutcome::BadPlacement, {}};
    if (!backend_.available())
        return {WallpaperOutcome::NotSupported, {}};
    WallpaperState current;
    std::string error;
    if (!backend_.read(current, error))
        return {WallpaperOutcome::Failed, error};

    const std::string path = WallpaperRules::wallpaperPath(dataHome_, current.pictureUri);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec)
        return {WallpaperOutcome::Failed, ec.message()};
    if (!writePicture(path, error))
        return {WallpaperOutcome::Failed, error};

    if (backend_.readsCurrent() && !WallpaperRules::isProgramWallpaper(current.pictureUri)) {
        RegistryText reg(store_);
        const std::optional<std::string> local = WallpaperRules::pathOfFileUri(current.pictureUri);
        const bool ok =
            reg.write(kKey, kPrevWallpaper, local ? *local : current.pictureUri) &&
            reg.write(kKey, kPrevTile, current.pictureOptions == "wallpaper" ? "1" : "0") &&
            reg.write(kKey, kPrevStyle, styleOf(current.pictureOptions)) &&
            reg.write(kKey, kPrevUriDark, current.pictureUriDark) &&
            reg.write(kKey, kPrevOptions, current.pictureOptions) &&
            reg.write(kKey, kPrevNative, current.native) &&
            // Last: its presence says the backup is complete.
            reg.write(kKey, kPrevUri, current.pictureUri);
        if (!ok)
            return {WallpaperOutcome::Failed, reg.lastError()};
    }

    WallpaperState next;
    next.pictureUri = WallpaperRules::fileUri(path);
    next.pictureUriDark = next.pictureUri;
    next.pictureOptions = WallpaperRules::pictureOption(*placement);
    if (!backend_.write(next, error))
        return {WallpaperOutcome::Failed, error};
    return {};
}

WallpaperResult WallpaperService::restore() {
    if (!backend_.available())
        return {WallpaperOutcome::NotSupported, {}};
    RegistryText reg(store_);
    const std::optional<std::string> uri = reg.find(kKey, kPrevUri);
    if (!uri)
        return {WallpaperOutcome::NoBackup, {}};
    WallpaperState state;
    state.pictureUri = *uri;
    state.pictureUriDark = reg.read(kKey, kPrevUriDark, *uri);
    const std::optional<std::string> options = reg.find(kKey, kPrevOptions);
    state.pictureOptions =
        options ? *options : (reg.read(kKey, kPrevTile, "0") == "1" ? "wallpaper" : "centered");
    state.native = reg.read(kKey, kPrevNative, "");
    std::string error;
    if (!backend_.write(state, error))
        return {WallpaperOutcome::Failed, error};
    return {};
}

} // namespace kamelo::desktop
