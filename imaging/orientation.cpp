#include "orientation.h"

#include "core/filebytes.h"
#include "filecomments.h"
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

namespace {

// The format of a regular file by its first bytes and name (a FIFO or
// device is refused without waiting on it).
PictureFormat formatOfFile(const std::string& path) {
    std::FILE* f = openRegularStream(path);
    if (!f)
        return PictureFormat::Unknown;
    unsigned char head[64] = {};
    const size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return detectFormat(head, got, extensionOf(path));
}

} // namespace

int Orientation::read(const std::string& path) {
    switch (formatOfFile(path)) {
    case PictureFormat::Jpeg:
        break;
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
    std::vector<uint8_t> bytes;
    if (FileComments::read(path, comment::kOrientation, bytes) < 2)
        return kUpright;
    return fromBytes(bytes);
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
