#pragma once

#include <QStringList>

class QMimeData;

namespace kamelo {

// File lists on the clipboard and in drag and drop, in the forms desktop
// file managers read and write: text/uri-list, x-special/gnome-copied-files
// ("copy" or "cut", then the URLs) and KDE's cut mark.
class FileClipboard {
public:
    struct Content {
        QStringList paths;
        bool cut = false;
    };
    static QMimeData* make(const QStringList& paths, bool cut);
    // Local files only; other URLs are left out.
    static Content read(const QMimeData* data);
    static bool hasFiles(const QMimeData* data);
};

} // namespace kamelo
