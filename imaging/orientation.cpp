#include "orientation.h"

#include "core/filebytes.h"
#include "exiftiff.h"
#include "geometryops.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/modern/webpcodec.h"
#include "pictureformat.h"
#include "result.h"

#include <cstring>
#include <unistd.h>
#include <vector>

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

// Exif.Image.Orientation of the first EXIF block of a JPEG, read segment by
// segment up to the first scan; 0 when there is none. The metadata library
// would be opened and parse every maker note for this one number, on the
// way to the first picture and for every thumbnail.
int jpegOrientation(int fd) {
    constexpr int kMaxSegments = 64;
    off_t at = 2; // after the start of image
    for (int i = 0; i < kMaxSegments; ++i) {
        uint8_t m[4];
        if (::pread(fd, m, sizeof m, at) != ssize_t(sizeof m) || m[0] != 0xFF)
            return 0;
        if (m[1] == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (m[1] == 0xDA || m[1] == 0xD9) // scan data or end of image
            return 0;
        const size_t length = size_t(m[2]) << 8 | m[3];
        if (length < 2)
            return 0;
        constexpr char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
        uint8_t name[sizeof kExif];
        if (m[1] == 0xE1 && length >= 2 + sizeof kExif + 8 &&
            ::pread(fd, name, sizeof name, at + 4) == ssize_t(sizeof name) &&
            std::memcmp(name, kExif, sizeof kExif) == 0) {
            // Only the first EXIF block counts, as readers take it.
            std::vector<uint8_t> block(length - 2 - sizeof kExif);
            const off_t from = at + 4 + off_t(sizeof kExif);
            if (::pread(fd, block.data(), block.size(), from) != ssize_t(block.size()))
                return 0;
            ExifTiff tiff(block);
            return tiff.open() ? int(tiff.number(tiff.get32(4), 0x0112)) : 0;
        }
        at += off_t(2 + length);
    }
    return 0;
}

} // namespace

int Orientation::read(const std::string& path) {
    int fd = -1;
    if (openRegularFile(path, fd) < 1)
        return kUpright;
    unsigned char head[64] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const PictureFormat format = detectFormat(head, got > 0 ? size_t(got) : 0, extensionOf(path));
    if (format == PictureFormat::Jpeg) {
        const int o = jpegOrientation(fd);
        ::close(fd);
        return o >= 1 && o <= 8 ? o : kUpright;
    }
    ::close(fd);
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
