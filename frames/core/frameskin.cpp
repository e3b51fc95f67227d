#include "frameskin.h"

#include "skindefinition.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace kamelo::frames {

namespace {

bool hasIniExtension(const std::string& name) {
    if (name.size() < 5) // at least one character before ".ini"
        return false;
    const std::string ext = name.substr(name.size() - 4);
    return ext[0] == '.' && std::tolower(static_cast<unsigned char>(ext[1])) == 'i' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 'n' &&
           std::tolower(static_cast<unsigned char>(ext[3])) == 'i';
}

} // namespace

std::vector<SkinEntry> listSkins(const std::string& folder, bool* noIni) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (!hasIniExtension(name))
                continue;
            // A folder or a device named "*.ini" is not a skin.
            struct stat st {};
            if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                names.push_back(name);
        }
        ::closedir(dir);
    }
    if (noIni)
        *noIni = names.empty();
    // Name order, so that a stored list index keeps meaning the same skin.
    std::sort(names.begin(), names.end());
    std::vector<SkinEntry> skins;
    for (const std::string& name : names) {
        SkinEntry entry;
        entry.iniPath = folder + "/" + name;
        SkinDefinition definition;
        if (!readSkin(entry.iniPath, definition) || definition.caption.empty())
            continue;
        entry.caption = definition.caption;
        skins.push_back(std::move(entry));
    }
    return skins;
}

} // namespace kamelo::frames
