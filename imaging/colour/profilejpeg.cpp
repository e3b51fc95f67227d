#include "profilescan.h"
#include "profiletiffblock.h"

#include <array>
#include <cstring>

namespace kamelo::imaging::colour::scan {

namespace {

constexpr uint8_t kIccTag[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr uint8_t kExifTag[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint16_t kExifIfdTag = 0x8769;
constexpr uint16_t kColorSpaceTag = 0xA001;
constexpr uint16_t kInteropIfdTag = 0xA005;
constexpr uint16_t kInteropIndexTag = 0x0001;
constexpr uint64_t kUncalibrated = 0xFFFF;

// The chunks of a profile split over APP2 segments, numbered 1..count.
class IccChunks {
public:
    void add(const uint8_t* payload, size_t size) {
        const size_t header = sizeof(kIccTag) + 2;
        if (size < header) {
            damaged_ = true;
            return;
        }
        const int seq = payload[sizeof(kIccTag)];
        const int count = payload[sizeof(kIccTag) + 1];
        if (count == 0 || seq == 0 || seq > count || (count_ != 0 && count != count_) ||
            parts_[size_t(seq)].data) {
            damaged_ = true;
            return;
        }
        count_ = count;
        parts_[size_t(seq)] = {payload + header, size - header};
        ++seen_;
    }
    bool any() const { return damaged_ || seen_ > 0; }
    // The profile when every chunk came once, in order of their numbers.
    bool assemble(std::vector<uint8_t>& out) const {
        if (damaged_ || seen_ != count_ || count_ == 0)
            return false;
        size_t total = 0;
        for (int i = 1; i <= count_; ++i)
            total += parts_[size_t(i)].size;
        out.clear();
        out.reserve(total);
        for (int i = 1; i <= count_; ++i)
            out.insert(out.end(), parts_[size_t(i)].data,
                       parts_[size_t(i)].data + parts_[size_t(i)].size);
        return true;
    }

private:
    struct Part {
        const uint8_t* data = nullptr;
        size_t size = 0;
    };
    std::array<Part, 256> parts_{};
    int count_ = 0;
    int seen_ = 0;
    bool damaged_ = false;
};

bool startsWith(const uint8_t* p, size_t size, const uint8_t* tag, size_t tagSize) {
    return size >= tagSize && std::memcmp(p, tag, tagSize) == 0;
}

} // namespace

bool exifSaysAdobeRgb(const uint8_t* data, size_t size) {
    TiffBlock tiff;
    if (!tiff.open(data, size))
        return false;
    TiffBlock::Entry entry;
    uint64_t exifIfd = 0, colorSpace = 0, interopIfd = 0;
    if (!tiff.find(tiff.firstIfd(), kExifIfdTag, entry) || !tiff.unsignedValue(entry, exifIfd))
        return false;
    if (!tiff.find(exifIfd, kColorSpaceTag, entry) || !tiff.unsignedValue(entry, colorSpace) ||
        colorSpace != kUncalibrated)
        return false;
    if (!tiff.find(exifIfd, kInteropIfdTag, entry) || !tiff.unsignedValue(entry, interopIfd))
        return false;
    if (!tiff.find(interopIfd, kInteropIndexTag, entry) || entry.valueBytes < 3 ||
        (entry.type != 2 && entry.type != 7))
        return false;
    return std::memcmp(tiff.bytesOf(entry), "R03", 3) == 0;
}

Found jpeg(const uint8_t* data, size_t size) {
    Found found;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return found;
    IccChunks chunks;
    const uint8_t* exif = nullptr;
    size_t exifSize = 0;
    size_t at = 2;
    bool ended = false;
    // Every step moves on by at least one byte, so the walk ends.
    while (at < size) {
        if (data[at] != 0xFF) {
            ++at; // stray bytes between segments, skipped as libjpeg does
            continue;
        }
        if (at + 1 >= size)
            break;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            ended = true; // the pixels start: profiles come before them
            break;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x00) {
            at += 2;
            continue;
        }
        if (at + 4 > size)
            break;
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2)
            break;
        if (length > size - at - 2)
            break; // a segment running past the bytes: the head was cut
        const uint8_t* payload = data + at + 4;
        const size_t payloadSize = length - 2;
        if (marker == 0xE2 && startsWith(payload, payloadSize, kIccTag, sizeof(kIccTag)))
            chunks.add(payload, payloadSize);
        else if (marker == 0xE1 && !exif && startsWith(payload, payloadSize, kExifTag, 6)) {
            exif = payload + 6;
            exifSize = payloadSize - 6;
        }
        at += 2 + length;
    }
    found.needMore = !ended;
    if (chunks.any()) {
        // A damaged sequence says the file had a profile that can no longer
        // be put together: its colours are not guessed from EXIF either.
        if (chunks.assemble(found.icc))
            found.kind = Found::Kind::Icc;
        return found;
    }
    if (exif && exifSaysAdobeRgb(exif, exifSize))
        found.kind = Found::Kind::DcfAdobeRgb;
    return found;
}

} // namespace kamelo::imaging::colour::scan
