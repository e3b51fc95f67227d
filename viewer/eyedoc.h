#pragma once

#include "base/picturelist.h"
#include "imaging/bitmap.h"

#include <functional>
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

    // The list may still be on its way (the folder of a picture given on
    // the command line is read in the background): whoever steps through
    // it, or removes from it, first completes it.
    void setListCompleter(std::function<void()> completer) { completer_ = std::move(completer); }
    void completeList() {
        if (auto complete = std::move(completer_)) {
            completer_ = nullptr;
            complete();
        }
    }

private:
    PictureList list_;
    imaging::Bitmap displayed_;
    imaging::Bitmap edit_;
    std::string viewerText_;
    std::function<void()> completer_;
};

} // namespace kamelo
