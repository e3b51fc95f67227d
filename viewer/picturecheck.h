#pragma once

#include <string>

class QWidget;

namespace kamelo {

class CEyeDoc;

// The question every write of the shown picture and every tool asks first:
// is the picture in memory the picture of the file it is about to be
// written over, or edited as? When it is not, the user is told why (the
// picture is another file's, or its file changed since it was read) and
// nothing happens.
class PictureCheck {
public:
    // True when the document's picture is the picture of the file at path
    // as it is now. Otherwise shows the message notOfFileId (a text with
    // one %s for the file name), or the changed-file message, and returns
    // false.
    static bool isOwn(const CEyeDoc& doc, const std::string& path, QWidget* parent,
                      int notOfFileId);
};

} // namespace kamelo
