#pragma once

#include "app/core/picturelist.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo {

// The document both frames share: the picture file list of the browsed folder
// with the current position, the picture the viewer shows, the copy its
// editing works on, and the picture read ahead.
class CEyeDoc {
public:
    struct ReadAhead {
        imaging::Bitmap bitmap;
        bool ready = false; // holds a completely decoded picture
        std::string path;   // the file it was decoded from
        void release() {
            bitmap.free();
            ready = false;
            path.clear();
        }
    };

    PictureList& list() { return list_; }
    const PictureList& list() const { return list_; }
    imaging::Bitmap& displayed() { return displayed_; }
    imaging::Bitmap& editBitmap() { return edit_; }
    ReadAhead& readAhead() { return readAhead_; }
    std::string& viewerText() { return viewerText_; }

private:
    PictureList list_;
    imaging::Bitmap displayed_;
    imaging::Bitmap edit_;
    ReadAhead readAhead_;
    std::string viewerText_;
};

} // namespace kamelo
