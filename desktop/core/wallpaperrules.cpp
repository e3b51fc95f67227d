#include "wallpaperrules.h"

#include <cctype>

namespace kamelo::desktop {

std::optional<Placement> WallpaperRules::placementForCommand(int command) {
    switch (command) {
    case kCmdCenter:
    case kCmdViewerCenter:
        return Placement::Center;
    case kCmdTile:
    case kCmdViewerTile:
        return Placement::Tile;
    case kCmdStretch:
    case kCmdViewerStretch:
        return Placement::Stretch;
    default:
        return std::nullopt;
    }
}

std::optional<Placement> WallpaperRules::placementForId(int id) {
    if (id < 0 || id > 2)
        return std::nullopt;
    return static_cast<Placement>(id);
}

bool WallpaperRules::isRestoreCommand(int command) {
    return command == kCmdRestore || command == kCmdViewerRestore;
}

FitSize WallpaperRules::targetSize(int width, int height, int screenW, int screenH,
                                   Placement placement) {
    if (width <= 0 || height <= 0)
        return {};
    if (placement == Placement::Stretch || width > screenW || height > screenH) {
        const FitSize fit = fitSize(width, height, screenW, screenH);
        // A sliver of a picture keeps one pixel.
        if (fit.width > 0 || fit.height > 0)
            return {fit.width > 0 ? fit.width : 1, fit.height > 0 ? fit.height : 1};
        return fit;
    }
    return {width, height};
}

const char* WallpaperRules::pictureOption(Placement placement) {
    return placement == Placement::Tile ? "wallpaper" : "centered";
}

std::string WallpaperRules::fileUri(const std::string& absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                          c == '/';
        if (keep) {
            uri += char(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<std::string> WallpaperRules::pathOfFileUri(const std::string& uri) {
    static const std::string scheme = "file://";
    if (uri.size() < scheme.size())
        return std::nullopt;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (char(std::tolower(static_cast<unsigned char>(uri[i]))) != scheme[i])
            return std::nullopt;
    std::string rest = uri.substr(scheme.size());
    if (rest.rfind("localhost/", 0) == 0)
        rest.erase(0, 9);
    if (rest.empty() || rest[0] != '/')
        return std::nullopt;
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%') {
            if (i + 2 >= rest.size())
                return std::nullopt;
            const int hi = hexValue(rest[i + 1]);
            const int lo = hexValue(rest[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            const char c = char(hi * 16 + lo);
            if (c == '\0')
                return std::nullopt;
            path += c;
            i += 2;
        } else if (rest[i] == '?' || rest[i] == '#') {
            break;
        } else {
            path += rest[i];
        }
    }
    return path;
}

bool WallpaperRules::isProgramWallpaper(const std::string& uri) {
    const std::optional<std::string> path = pathOfFileUri(uri);
    const std::string& name = path ? *path : uri;
    const size_t slash = name.find_last_of('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    return file == kWallpaperFileName;
}

bool WallpaperRules::namesDesktop(const char* currentDesktop, const std::string& name) {
    if (!currentDesktop)
        return false;
    const std::string all = currentDesktop;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos)
            end = all.size();
        if (end - start == name.size()) {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(all[start + i])) ==
                       std::tolower(static_cast<unsigned char>(name[i]));
            if (same)
                return true;
        }
        start = end + 1;
    }
    return false;
}

std::string WallpaperRules::nextSubfolder(const std::string& currentUri) {
    const std::optional<std::string> path = pathOfFileUri(currentUri);
    if (path && isProgramWallpaper(currentUri)) {
        const std::string suffix = std::string("/a/") + kWallpaperFileName;
        if (path->size() >= suffix.size() &&
            path->compare(path->size() - suffix.size(), suffix.size(), suffix) == 0)
            return "b";
    }
    return "a";
}

std::string WallpaperRules::wallpaperPath(const std::string& dataHome,
                                          const std::string& currentUri) {
    std::string folder = dataHome;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + "kamelo/" + nextSubfolder(currentUri) + "/" + kWallpaperFileName;
}

} // namespace kamelo::desktop
