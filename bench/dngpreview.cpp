#include "dngpreview.h"

#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "tests/support/dngwriter.h"

#include <cstdint>
#include <vector>

namespace kamelo::bench {

namespace {

struct Tiff {
    std::vector<uint8_t>& b;
    bool little;
    uint32_t u16(size_t at) const {
        return little ? b[at] | b[at + 1] << 8 : b[at] << 8 | b[at + 1];
    }
    uint32_t u32(size_t at) const {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + (little ? i : 3 - i)] = uint8_t(v >> (8 * i));
    }
};

} // namespace

bool writeDngWithPreview(const std::string& path, int rawWidth, int rawHeight,
                         const std::string& previewJpeg) {
    imaging::FileInfo info;
    std::vector<uint8_t> jpeg;
    if (imaging::PictureFile::readInfo(previewJpeg, info) < 1 ||
        imaging::readWholeFile(previewJpeg, jpeg) < 1)
        return false;
    // The writer's own preview, of the same size, is swapped for the JPEG:
    // the JPEG goes to the end and IFD0's single strip points at it.
    test::DngOptions o;
    o.rawWidth = rawWidth;
    o.rawHeight = rawHeight;
    o.previewWidth = info.width;
    o.previewHeight = info.height;
    std::vector<uint8_t> dng;
    if (!test::writeDng(path, o) || imaging::readWholeFile(path, dng) < 1 || dng.size() < 8)
        return false;
    Tiff t{dng, dng[0] == 'I'};
    const size_t ifd = t.u32(4);
    if (ifd + 2 > dng.size())
        return false;
    if (dng.size() % 2)
        dng.push_back(0);
    const uint32_t at = uint32_t(dng.size());
    bool offset = false, count = false;
    for (uint32_t i = 0, n = t.u16(ifd); i < n && ifd + 2 + 12 * (i + 1) <= dng.size(); ++i) {
        const size_t e = ifd + 2 + 12 * i;
        const uint32_t tag = t.u16(e), type = t.u16(e + 2), values = t.u32(e + 4);
        if (type != 4 || values != 1)
            continue; // one LONG, as libtiff writes a single strip
        if (tag == 273) {
            t.put32(e + 8, at);
            offset = true;
        } else if (tag == 279) {
            t.put32(e + 8, uint32_t(jpeg.size()));
            count = true;
        }
    }
    if (!offset || !count)
        return false;
    dng.insert(dng.end(), jpeg.begin(), jpeg.end());
    return imaging::writeFileAtomically(path, dng.data(), dng.size()) >= 1;
}

} // namespace kamelo::bench
