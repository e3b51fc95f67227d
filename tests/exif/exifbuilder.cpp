#include "exifbuilder.h"

namespace kamelo::test {

namespace {
const int kSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& from) {
    to.insert(to.end(), from.begin(), from.end());
}
} // namespace

std::vector<uint8_t> ExifBuilder::tiff(std::vector<Entry> ifd0, const std::vector<Entry>& exif,
                                       const std::vector<uint8_t>& thumbnail) const {
    // Offsets are from the TIFF header. Layout: header, IFD0, its data,
    // EXIF IFD, its data, IFD1, thumbnail.
    auto ifdSize = [](size_t n) { return 2 + 12 * n + 4; };
    auto dataSize = [](const std::vector<Entry>& es) {
        size_t s = 0;
        for (const Entry& e : es)
            if (e.value.size() > 4)
                s += e.value.size();
        return s;
    };
    if (!exif.empty())
        ifd0.push_back(longEntry(0x8769, 0)); // filled below
    const size_t ifd0At = 8;
    const size_t data0At = ifd0At + ifdSize(ifd0.size());
    const size_t exifAt = data0At + dataSize(ifd0);
    const size_t exifDataAt = exifAt + ifdSize(exif.size());
    const size_t ifd1At = exifDataAt + dataSize(exif);
    std::vector<Entry> ifd1;
    if (!thumbnail.empty()) {
        ifd1.push_back(longEntry(0x0201, uint32_t(ifd1At + ifdSize(2))));
        ifd1.push_back(longEntry(0x0202, uint32_t(thumbnail.size())));
    }
    if (!exif.empty())
        ifd0.back().value = u32(uint32_t(exifAt));

    std::vector<uint8_t> out =
        mm_ ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'};
    append(out, u16(42));
    append(out, u32(8));
    auto writeIfd = [&](const std::vector<Entry>& es, size_t dataAt, uint32_t next) {
        append(out, u16(uint16_t(es.size())));
        size_t at = dataAt;
        for (const Entry& e : es) {
            append(out, u16(e.tag));
            append(out, u16(e.format));
            append(out, u32(e.count));
            if (e.value.size() > 4) {
                append(out, u32(uint32_t(at)));
                at += e.value.size();
            } else {
                std::vector<uint8_t> v = e.value;
                v.resize(4, 0);
                append(out, v);
            }
        }
        append(out, u32(next));
        for (const Entry& e : es)
            if (e.value.size() > 4)
                append(out, e.value);
    };
    writeIfd(ifd0, data0At, thumbnail.empty() ? 0 : uint32_t(ifd1At));
    if (!exif.empty())
        writeIfd(exif, exifDataAt, 0);
    if (!thumbnail.empty()) {
        writeIfd(ifd1, ifd1At + ifdSize(ifd1.size()), 0);
        append(out, thumbnail);
    }
    (void)kSize;
    return out;
}

std::vector<uint8_t> ExifBuilder::app1Payload(const std::vector<uint8_t>& tiff) const {
    std::vector<uint8_t> p = {'E', 'x', 'i', 'f', 0, 0};
    append(p, tiff);
    return p;
}

std::vector<uint8_t> ExifBuilder::segment(int marker, const std::vector<uint8_t>& payload) {
    const size_t len = payload.size() + 2;
    std::vector<uint8_t> s = {0xFF, uint8_t(marker), uint8_t(len >> 8), uint8_t(len)};
    append(s, payload);
    return s;
}

std::vector<uint8_t>
ExifBuilder::jpeg(const std::vector<std::pair<int, std::vector<uint8_t>>>& segments, int width,
                  int height) {
    std::vector<uint8_t> j = {0xFF, 0xD8};
    for (const auto& [marker, payload] : segments)
        append(j, segment(marker, payload));
    append(j, segment(0xC0, {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8),
                             uint8_t(width), 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
    append(j, segment(0xDA, {3, 1, 0, 2, 0x11, 3, 0x11, 0, 63, 0}));
    append(j, {0x12, 0x34, 0x56, 0xFF, 0xD9});
    return j;
}

} // namespace kamelo::test
