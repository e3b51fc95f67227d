#pragma once

#include <QList>
#include <QString>

namespace kamelo {

// The places at the top of the folder tree: the desktop at the root, and
// under it the home folder, "내 컴퓨터" (the file system root) and every
// mounted volume a user keeps files on.
class ShellNamespace {
public:
    enum class Kind { Desktop, Home, Computer, Volume, Folder };
    struct Place {
        QString label;
        QString path;
        Kind kind = Kind::Folder;
        bool removable = false;
    };
    static Place desktop();
    // The places under the desktop, in the order the tree shows them.
    static QList<Place> places();
    // The display name of a folder (its file name; "/" for the root).
    static QString folderLabel(const QString& path);
};

} // namespace kamelo
