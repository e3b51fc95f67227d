#pragma once

#include <QString>

namespace kamelo {

// The Korean reason for an errno, and a whole message naming the file.
class FileErrorText {
public:
    static QString reason(int error);
    // textId: a "'%s'..." failure text of the string table.
    static QString message(int textId, const QString& path, int error);
};

} // namespace kamelo
