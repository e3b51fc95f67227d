#pragma once

#include <string>

namespace kamelo {

// Moving files and folders to the desktop's trash as the freedesktop Trash
// standard describes, so that file managers can list and restore them:
// the home trash ($XDG_DATA_HOME/Trash) for files on its volume, else the
// volume's own trash ($topdir/.Trash/$uid when the administrator made one,
// else $topdir/.Trash-$uid), each with files/ and info/NAME.trashinfo.
class TrashCan {
public:
    struct Result {
        bool ok = false;
        int error = 0;         // errno when not ok
        std::string trashedAs; // files/NAME inside the trash
        std::string infoFile;  // info/NAME.trashinfo
    };
    static Result trash(const std::string& path);

    // The home trash folder.
    static std::string homeTrash();
    // %-encoding of a path for the Path= line ("/" and unreserved bytes kept).
    static std::string encodePath(const std::string& path);
};

} // namespace kamelo
