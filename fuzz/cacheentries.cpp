#include "cacheentries.h"

#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"

#include <algorithm>

namespace kamelo::fuzz {

int lis(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    std::vector<CThumbData> records;
    if (!ThumbArchive::read(bytes, records)) {
        if (!records.empty())
            __builtin_trap(); // a refused archive leaves nothing behind
        return 0;
    }
    // What was read writes back to an archive that reads the same.
    std::vector<CThumbData> again;
    if (!ThumbArchive::read(ThumbArchive::write(records), again) || again != records)
        __builtin_trap();
    return int(records.size() & 1);
}

int cac(const uint8_t* data, size_t size) {
    ThumbImageListFile::Layout layout;
    if (!ThumbImageListFile::parse(data, size, layout))
        return 0;
    // The header alone, as the on-demand reader sees it, gives the same layout.
    ThumbImageListFile::Layout fromHead;
    const size_t head = std::min(size, ThumbImageListFile::kHeaderBytes);
    if (!ThumbImageListFile::parseHeader(data, head, size, fromHead) ||
        fromHead.width != layout.width || fromHead.height != layout.height ||
        fromHead.count != layout.count || fromHead.bmpHeight != layout.bmpHeight ||
        fromHead.stride != layout.stride || fromHead.pixelsAt != layout.pixelsAt)
        __builtin_trap();
    // Touch the first and last byte of every row the layout promises.
    unsigned sum = 0;
    const size_t rowBytes = size_t(layout.width) * 3;
    for (int i = 0; i < layout.count; ++i)
        for (int y = 0; y < layout.height; ++y) {
            const uint8_t* row = ThumbImageListFile::row(data, layout, i, y);
            sum += row[0] + row[rowBytes - 1];
        }
    ThumbImageList list;
    if (!ThumbImageListFile::read(data, size, list) || int(list.images.size()) != layout.count)
        __builtin_trap();
    // A list read writes back to a stream that reads the same.
    const std::vector<uint8_t> written = ThumbImageListFile::write(list);
    ThumbImageList again;
    if (!ThumbImageListFile::read(written.data(), written.size(), again) ||
        again.width != list.width || again.height != list.height || again.images != list.images)
        __builtin_trap();
    return int(sum & 1);
}

} // namespace kamelo::fuzz
