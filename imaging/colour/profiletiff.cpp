#include "profilescan.h"
#include "profiletiffblock.h"

namespace kamelo::imaging::colour::scan {

namespace {

constexpr uint16_t kIccTag = 34675;
// The smallest IFD (a count, one entry, the next offset) bounds how many
// pages a file of this size can hold, and so the walk along their chain.
constexpr uint64_t kSmallestIfd = 2 + 12 + 4;

} // namespace

Found tiff(const uint8_t* data, size_t size, int page) {
    Found found;
    TiffBlock block;
    if (page < 0 || !block.open(data, size))
        return found;
    bool outside = false;
    uint64_t ifd = block.firstIfd();
    const uint64_t maxPages = size / kSmallestIfd + 1;
    for (uint64_t i = 0; i < uint64_t(page) && ifd != 0; ++i) {
        if (i >= maxPages) {
            ifd = 0; // a chain longer than the file: it loops
            break;
        }
        ifd = block.nextIfd(ifd, &outside);
    }
    TiffBlock::Entry entry;
    if (ifd != 0 && block.find(ifd, kIccTag, entry, &outside) &&
        (entry.type == 7 || entry.type == 1)) {
        found.icc.assign(block.bytesOf(entry), block.bytesOf(entry) + entry.valueBytes);
        found.kind = Found::Kind::Icc;
    }
    found.needMore = outside || (ifd != 0 && ifd >= size);
    return found;
}

} // namespace kamelo::imaging::colour::scan
