#pragma once

#include "imaging/bitmap.h"
#include "imaging/planeturn.h"

#include <string>

namespace kamelo {

// The viewer's Save: the picture written over its own file, the writer
// chosen by the file's extension; a JPEG keeps the file's camera
// information and is written at quality 96. Other extensions are not saved.
class ViewerSave {
public:
    static constexpr int kNotSaved = 0; // an extension this program does not write
    static constexpr int kJpegQuality = 96;

    // 1 when written, kNotSaved, or an error code (the file is then as it was).
    // pictureUpright: the picture was turned upright by its EXIF orientation
    // when it was read, so a kept orientation is written as 1 (no reader
    // turns it a second time).
    static int save(const imaging::Bitmap& picture, const std::string& path,
                    bool pictureUpright = false);
    // A picture that is nothing but its file's pixels turned: the file
    // turned on its compressed data, nothing of it lost (or, when its sides
    // are no whole blocks, compressed again at its own quality and chroma
    // subsampling: *reencoded then). kNotSaved when the file is no JPEG
    // written as JPEG (save() writes the picture then).
    static int saveTurned(const std::string& path, imaging::PlaneTurn turn, bool pictureUpright,
                          bool* reencoded = nullptr);
    // The library format code of an extension ("BMP" 6, ...); 0 for none,
    // -1 for JPEG (its own writer).
    static int formatFor(const std::string& path);
};

} // namespace kamelo
