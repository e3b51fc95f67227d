#pragma once

#include "imaging/bitmap.h"
#include "imaging/metadatacarrier.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kamelo {

// The camera properties the program keeps from a picture's EXIF block (41
// tags of IFD0 and the EXIF directory). A record read from a file also holds
// everything else the file carries (imaging::MetadataCarrier): a JPEG saved
// with it keeps all of that, with this record's own fields (Software, the
// sizes, a changed orientation) written over the source's.
class JpegPropertyInfo {
public:
    enum class Kind { Short, Text, Rational, Bytes4 };
    struct Item {
        Kind kind = Kind::Short;
        uint16_t shortValue = 0xFFFF;
        int32_t numerator = -1;
        int32_t denominator = 0;
        std::string text;
        std::array<uint8_t, 4> bytes{};
    };

    // The tags kept and how each is held; nullptr for others.
    static const Kind* kindOf(uint16_t tag);

    // Empty (every field absent) when the file has no EXIF block.
    static JpegPropertyInfo read(const std::string& path);

    bool has(uint16_t tag) const { return items_.count(tag) != 0; }
    const Item* item(uint16_t tag) const;
    // The 16-bit value, or 0xFFFF when absent.
    uint16_t shortOr(uint16_t tag) const;
    std::optional<uint16_t> shortValue(uint16_t tag) const;
    // Changes a field; a changed field is written over the source's.
    void set(uint16_t tag, Item item);
    size_t size() const { return items_.size(); }

    // What a picture written from this record carries: the source's
    // metadata with this record's fields over it. Empty for a record not
    // read from a file.
    imaging::MetadataCarrier carrier() const;

    // Encodes bitmap as a JPEG of this quality (0-100) with Software set to
    // the program's name, at the source's chroma subsampling when it was a
    // JPEG (else by the quality). The size tags that are present
    // (ImageWidth, ImageLength, PixelXDimension, PixelYDimension) give the
    // bitmap's own size, which differs from the source's after a resize or a
    // quarter turn, and the EXIF thumbnail is made from the bitmap. A record
    // not read from a file writes its present properties only. Returns 1 or
    // an error code (out is then empty).
    int encodeJpeg(const imaging::Bitmap& bitmap, int quality, std::vector<uint8_t>& out) const;
    // The bytes of encodeJpeg written atomically to path, so a size estimate
    // made with encodeJpeg is the size of the file. Returns 1 or an error code.
    int saveJpeg(const imaging::Bitmap& bitmap, const std::string& path, int quality) const;

private:
    int encodeRecordOnly(const imaging::Bitmap& bitmap, int quality,
                         std::vector<uint8_t>& out) const;

    std::map<uint16_t, Item> items_;
    std::set<uint16_t> changed_;
    // Shared by copies: it is only read after read() made it.
    std::shared_ptr<const imaging::MetadataCarrier> source_;
};

} // namespace kamelo
