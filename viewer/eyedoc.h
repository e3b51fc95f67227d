#pragma once

#include "base/picturelist.h"
#include "imaging/bitmap.h"
#include "imaging/colour/iccprofile.h"
#include "viewer/core/picturesource.h"

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
    // The full picture: when the view shows a smaller decode first, this
    // waits for the full one (Save, Copy, EXIF, printing and every edit take
    // the picture through here).
    imaging::Bitmap& displayed() {
        completePicture();
        return displayed_;
    }
    // The picture as it is now, without waiting: empty while only the
    // smaller decode is on screen.
    const imaging::Bitmap& displayedNow() const { return displayed_; }
    // Set by the view while the full picture decodes in the background; it
    // waits for the decode and gives the picture (empty when it failed).
    void setPictureCompleter(std::function<imaging::Bitmap()> completer) {
        pictureCompleter_ = std::move(completer);
    }
    bool pictureOnItsWay() const { return bool(pictureCompleter_); }
    void completePicture() {
        if (auto complete = std::move(pictureCompleter_)) {
            pictureCompleter_ = nullptr;
            displayed_ = complete();
        }
    }
    // The file the displayed picture was read from, as it was then. Edits
    // in place keep it; whatever puts another file's pixels in sets it.
    const PictureSource& source() const { return source_; }
    void setSource(PictureSource source) { source_ = std::move(source); }
    // Whether the displayed picture (or the one on its way) is the picture
    // of the file at path as that file is now.
    PictureSource::Match pictureMatches(const std::string& path) const {
        if (!displayed_.isAllocated() && !pictureCompleter_)
            return PictureSource::Match::NoSource;
        return source_.matches(path);
    }
    // A viewer entered anew shows nothing of what the last one showed.
    void forgetPicture() {
        pictureCompleter_ = nullptr;
        displayed_.free();
        edit_.free();
        source_ = PictureSource();
        profile_.reset();
    }
    // The colour space of the file the displayed picture was read from.
    // Edits build new bitmaps that carry no profile, but their values are
    // still in this space: it stays until another picture is shown.
    const imaging::colour::ProfilePtr& pictureProfile() const { return profile_; }
    void setPictureProfile(imaging::colour::ProfilePtr profile) { profile_ = std::move(profile); }
    // The profile a bitmap of this document is painted from: its own when
    // it carries one (a picture just read), else the shown file's.
    const imaging::colour::ProfilePtr& profileOf(const imaging::Bitmap& bitmap) const {
        return bitmap.colourProfile() ? bitmap.colourProfile() : profile_;
    }
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
    PictureSource source_;
    imaging::colour::ProfilePtr profile_;
    std::string viewerText_;
    std::function<void()> completer_;
    std::function<imaging::Bitmap()> pictureCompleter_;
};

} // namespace kamelo
