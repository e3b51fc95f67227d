#pragma once

#include <QString>

#include <string>
#include <vector>

namespace kamelo {

// The Korean reason for an errno, and a whole message naming the file.
class FileErrorText {
public:
    static QString reason(int error);
    // textId: a "'%s'..." failure text of the string table.
    static QString message(int textId, const QString& path, int error);
    // One line per special file (FIFO, socket, device) a copy or move left
    // out; a long list ends with how many more there were.
    static QString leftOut(const std::vector<std::string>& paths, bool move);
};

} // namespace kamelo
