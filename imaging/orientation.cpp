#include "orientation.h"

#include "core/filebytes.h"
#include "exif/core/jpegsectionreader.h"
#include "geometryops.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/modern/webpcodec.h"
#include "pictureformat.h"
#include "result.h"

#include <cstdio>
#include <cstring>

namespace kamelo::imaging {

Orientation::Steps Orientation::stepsFor(int orientation) {
    switch (orientation) {
    case 2:
        return {true, 0};
    case 3:
        return {false, 2};
    case 4: // mirrored and half turned: flipped top to bottom
        return {true, 2};
    case 5: // transposed
        return {true, 3};
    case 6:
        return {false, 1};
    case 7: // transversed
        return {true, 1};
    case 8:
        return {false, 3};
    default:
        return {};
    }
}

int Orientation::read(const std::string& path) {
    std::FILE* f = openRegularStream(path);
    if (!f)
        return kUpright;
    unsigned char head[64] = {};
    const size_t got = std::fread(head, 1, sizeof head, f);
    const PictureFormat format = detectFormat(head, got, extensionOf(path));
    if (format == PictureFormat::Jpeg) {
        // The program's own section reader: the metadata library would be
        // opened and parse every maker note for this one number, on the way
        // to the first picture and for every thumbnail.
        ExifImageInfo info;
        JpegSectionReader reader(&info);
        std::rewind(f);
        reader.readSections(f, false);
        std::fclose(f);
        return info.orientation >= 1 && info.orientation <= 8 ? info.orientation : kUpright;
    }
    std::fclose(f);
    switch (format) {
    case PictureFormat::Heif:
    case PictureFormat::Avif:
        return heifcodec::readOrientation(path);
    case PictureFormat::WebP:
        return webpcodec::readOrientation(path);
    case PictureFormat::Jxl:
        return jxlcodec::readOrientation(path);
    case PictureFormat::Raw:
        return rawcodec::readOrientation(path);
    default:
        return kUpright;
    }
}

int Orientation::fromBytes(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 2)
        return kUpright;
    int16_t value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value >= 1 && value <= 8 ? value : kUpright;
}

int Orientation::makeUpright(Bitmap& bitmap, int orientation) {
    const Steps s = stepsFor(orientation);
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    if (!s.mirror && s.quarterTurns == 0)
        return result::kSuccess;
    // The turn makes a new picture and leaves this one whole when it fails;
    // the mirror afterwards works in place and cannot fail. Mirroring left to
    // right before an odd number of quarter turns is flipping top to bottom
    // after them.
    if (s.quarterTurns != 0) {
        const int rc = GeometryOps::rotate(bitmap, s.quarterTurns * 9000);
        if (rc < 1)
            return rc;
    }
    if (s.mirror)
        s.quarterTurns % 2 != 0 ? GeometryOps::flip(bitmap) : GeometryOps::reverse(bitmap);
    return result::kSuccess;
}

} // namespace kamelo::imaging
