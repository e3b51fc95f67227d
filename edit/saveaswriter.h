#pragma once

#include "exif/jpegpropertyinfo.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo::edit {

// Writes the viewer's picture under the name chosen in Save As: the
// extension picks the writer by the viewer's save table; a JPEG, WebP or
// AVIF is written at the chosen quality (100: WebP and AVIF lossless).
// JPEG, PNG, TIFF, WebP and AVIF keep the metadata of the picture's own file.
class SaveAsWriter {
public:
    static constexpr int kNotSaved = 0; // an extension this program does not write
    static constexpr uint16_t kOrientationTag = 274;

    // The properties of the source file as a JPEG written from this picture
    // carries them. upright: the picture is shown upright whatever the
    // file's orientation said, so a kept orientation becomes 1.
    static JpegPropertyInfo propertiesFor(const std::string& sourcePath, bool upright);
    // Marks the orientation of props as upright (1) when it has one.
    static void makeUpright(JpegPropertyInfo& props);

    // 1 when written, kNotSaved, or an error code (an existing file at path
    // is then as it was) with reason set to a Korean sentence.
    static int save(const imaging::Bitmap& picture, const JpegPropertyInfo& props,
                    const std::string& path, int jpegQuality, std::string& reason);
};

} // namespace kamelo::edit
