#include "xdgdirs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kamelo::desktop {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Only absolute entries count; relative ones are ignored.
std::vector<std::string> split(const std::string& value, const std::string& fallback) {
    std::vector<std::string> out;
    const std::string text = value.empty() ? fallback : value;
    size_t at = 0;
    while (at <= text.size()) {
        size_t colon = text.find(':', at);
        if (colon == std::string::npos)
            colon = text.size();
        const std::string part = text.substr(at, colon - at);
        if (!part.empty() && part[0] == '/')
            out.push_back(part);
        at = colon + 1;
    }
    return out;
}

std::string home(const char* name, const char* below) {
    const std::string v = env(name);
    if (!v.empty() && v[0] == '/')
        return v;
    return env("HOME") + below;
}

} // namespace

XdgDirs XdgDirs::fromEnvironment() {
    XdgDirs d;
    d.configHome = home("XDG_CONFIG_HOME", "/.config");
    d.dataHome = home("XDG_DATA_HOME", "/.local/share");
    d.configDirs = split(env("XDG_CONFIG_DIRS"), "/etc/xdg");
    d.dataDirs = split(env("XDG_DATA_DIRS"), "/usr/local/share:/usr/share");
    const std::string current = env("XDG_CURRENT_DESKTOP");
    size_t at = 0;
    while (at < current.size()) {
        size_t colon = current.find(':', at);
        if (colon == std::string::npos)
            colon = current.size();
        std::string name = current.substr(at, colon - at);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (!name.empty())
            d.desktops.push_back(name);
        at = colon + 1;
    }
    return d;
}

std::vector<std::string> XdgDirs::mimeappsLists() const {
    std::vector<std::string> folders{configHome};
    folders.insert(folders.end(), configDirs.begin(), configDirs.end());
    folders.push_back(dataHome + "/applications");
    for (const std::string& d : dataDirs)
        folders.push_back(d + "/applications");
    std::vector<std::string> out;
    for (const std::string& f : folders) {
        for (const std::string& desktop : desktops)
            out.push_back(f + "/" + desktop + "-mimeapps.list");
        out.push_back(f + "/mimeapps.list");
    }
    return out;
}

std::vector<std::string> XdgDirs::applicationFolders() const {
    std::vector<std::string> out{dataHome + "/applications"};
    for (const std::string& d : dataDirs)
        out.push_back(d + "/applications");
    return out;
}

} // namespace kamelo::desktop
