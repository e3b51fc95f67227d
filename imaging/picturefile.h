#pragma once

#include "animation.h"
#include "bitmap.h"
#include "fileinfo.h"
#include "imaging/colour/iccprofile.h"
#include "loadoptions.h"

#include <string>

namespace kamelo::imaging {

// Reading pictures from files: the decoder is chosen by the file's content
// first and its extension second. Every call returns 1 (or more) on success
// or an error code; none throws.
class PictureFile {
public:
    // Headers only: a 20-megapixel JPEG is not decoded for this.
    static int readInfo(const std::string& path, FileInfo& info);
    // The picture at 24 bits (page / frame options.page), reporting bands of
    // rows to options.onRows as they arrive. A JPEG, PNG or TIFF too large
    // for one bitmap at options.scaleDenominator comes out smaller: at the
    // smallest 1/N (N >= the denominator) within 64 megapixels, read from
    // the file in bounded memory, in one band (imaging/large/largepicture.h;
    // compare the bitmap's width with the file's). So does a PNG or TIFF
    // above 64 megapixels asked for at a denominator above 1; such a TIFF
    // asked for at full size is read from the file strip by strip.
    static int load(const std::string& path, Bitmap& out, const LoadOptions& options = {});
    // Every frame of an animated GIF; other files give one frame.
    static int loadAnimation(const std::string& path, AnimatedBitmap& out);
    // The embedded thumbnail, decoded; kNoStamp when there is none.
    static int readStamp(const std::string& path, Bitmap& out);
    // The colour space of the file's pixels without decoding them (what
    // load() puts on the bitmap); null for sRGB. 1 or an error code.
    static int readProfile(const std::string& path, colour::ProfilePtr& out);

    // The same from bytes already in memory (path only names the extension).
    static int readInfo(const uint8_t* data, size_t size, const std::string& path, FileInfo& info);
    static int load(const uint8_t* data, size_t size, const std::string& path, Bitmap& out,
                    const LoadOptions& options = {});

private:
    static int loadFrom(const uint8_t* data, size_t size, const std::string& path, Bitmap& out,
                        const LoadOptions& options);
};

} // namespace kamelo::imaging
