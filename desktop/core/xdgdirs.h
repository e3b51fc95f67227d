#pragma once

#include <string>
#include <vector>

namespace kamelo::desktop {

// The freedesktop base folders and the running desktop's names.
struct XdgDirs {
    std::string configHome;
    std::vector<std::string> configDirs;
    std::string dataHome;
    std::vector<std::string> dataDirs;
    std::vector<std::string> desktops; // XDG_CURRENT_DESKTOP, lower case

    // From the environment, with the freedesktop base-directory defaults.
    static XdgDirs fromEnvironment();

    // The mimeapps.list files in the order their defaults count.
    std::vector<std::string> mimeappsLists() const;
    // The folders desktop entries are looked up in, most important first.
    std::vector<std::string> applicationFolders() const;
};

} // namespace kamelo::desktop
