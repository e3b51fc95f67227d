#pragma once

#include <string>

namespace kamelo {

// The program's working folders. The program folder is the folder of the
// running executable; skin/ and data/ (with data/cache and data/temp) sit in it.
// When the program folder cannot be written, data/ moves to
// $XDG_DATA_HOME/kamelo so that caches and temporary files still work.
struct ProgramFolders {
    std::string programFolder; // with a trailing '/'
    std::string skin;
    std::string data;
    std::string cache;
    std::string temp;
    bool dataMoved = false; // data/ lives under $XDG_DATA_HOME

    // Computes the folders and creates any that are missing. Creation failures
    // are not errors: an existing folder is the normal case, and a folder that
    // cannot be made shows up later as a failure of the part that needs it.
    static ProgramFolders prepare(const std::string& programFolder,
                                  const std::string& userDataFolder = defaultUserDataFolder());

    // $XDG_DATA_HOME/kamelo, with ~/.local/share as the fallback.
    static std::string defaultUserDataFolder();
    // Folder of the running executable, with a trailing '/'.
    static std::string executableFolder();
};

} // namespace kamelo
