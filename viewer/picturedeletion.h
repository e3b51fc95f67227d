#pragma once

#include <QString>

#include <string>

class QWidget;

namespace kamelo {

class FileUi;

// The viewer's delete: asks, moves the file to the trash (or removes it for
// good) and reports a failure in the user's words.
class PictureDeletion {
public:
    // True when the file is gone.
    static bool confirmAndRemove(const std::string& path, bool permanent, FileUi& ui,
                                 QWidget* parent);
};

} // namespace kamelo
