#include "thumbcachereset.h"

#include "settingskeys.h"
#include "settingsstore.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kamelo {

void ThumbCacheReset::clear(SettingsStore& store, const std::string& cacheFolder) {
    std::error_code ec;
    if (fs::is_directory(cacheFolder, ec)) {
        for (auto it = fs::directory_iterator(cacheFolder, ec);
             !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code rmEc;
            if (!it->is_directory(rmEc))
                fs::remove(it->path(), rmEc);
        }
        fs::remove(cacheFolder, ec); // fails harmlessly when something stayed behind
    }
    fs::create_directory(cacheFolder, ec);
    store.deleteSection(keys::kCacheSubKey);
}

bool ThumbCacheReset::clearIfStale(SettingsStore& store, const std::string& cacheFolder) {
    // A database another program holds locked could not tell the version;
    // the default it reads says nothing about the cache on disk.
    if (store.lockedAtOpen())
        return false;
    int version =
        store.getInt(keys::kGeneral, keys::kCacheFileVersion, keys::kCacheFileVersionDefault);
    if (version == keys::kCurrentCacheFileVersion)
        return false;
    clear(store, cacheFolder);
    return true;
}

} // namespace kamelo
