#pragma once

#include "base/picturelist.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo {

// The document both frames share: the picture file list of the browsed folder
// with the current position, the picture the viewer shows, the copy its
// editing works on.
class CEyeDoc {
public:
    PictureList& list() { return list_; }
    const PictureList& list() const { return list_; }
    imaging::Bitmap& displayed() { return displayed_; }
    imaging::Bitmap& editBitmap() { return edit_; }
    std::string& viewerText() { return viewerText_; }

private:
    PictureList list_;
    imaging::Bitmap displayed_;
    imaging::Bitmap edit_;
    std::string viewerText_;
};

} // namespace kamelo
