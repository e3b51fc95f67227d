#include "heifboxreader.h"

#include "imaging/result.h"

#include <set>
#include <vector>

// Whether the items a decode reads lie inside the file: libheif sizes its
// buffers by their extents before reading them.
namespace kamelo::imaging::heifboxes {

using namespace detail;

namespace {

// One reference of 'iref': item `from` refers to item `to` by `type`.
struct Reference {
    uint32_t type = 0, from = 0, to = 0;
};

std::vector<Reference> references(ByteView iref) {
    std::vector<Reference> list;
    Fields f(iref);
    uint32_t versionFlags = 0;
    if (!f.u32(versionFlags))
        return list;
    const bool longIds = (versionFlags >> 24) != 0;
    Children children(f.rest());
    Box box;
    while (children.next(box)) {
        Fields r(box.payload);
        uint32_t from = 0, count = 0;
        if ((longIds ? !r.u32(from) : !r.u16(from)) || !r.u16(count))
            continue;
        // Each target takes two or four bytes, so the box bounds the loop.
        for (uint32_t i = 0, to = 0; i < count && (longIds ? r.u32(to) : r.u16(to)); ++i)
            list.push_back({box.type, from, to});
    }
    return list;
}

// The items a decode of `primary` reads: the tiles and layers it derives
// from, its thumbnails and auxiliary pictures (alpha, depth), and theirs.
std::set<uint32_t> itemsRead(uint32_t primary, const std::vector<Reference>& refs) {
    std::set<uint32_t> items{primary};
    // Chains are short in real files; a few rounds cover them and end on a loop.
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        const size_t before = items.size();
        for (const Reference& r : refs) {
            if (r.type == fourcc("dimg") && items.count(r.from))
                items.insert(r.to);
            else if ((r.type == fourcc("thmb") || r.type == fourcc("auxl")) && items.count(r.to))
                items.insert(r.from);
        }
        if (items.size() == before)
            break;
    }
    return items;
}

// Reads an unsigned field of 0, 4 or 8 bytes.
bool sized(Fields& f, uint32_t bytes, uint64_t& v) {
    uint32_t hi = 0, lo = 0;
    switch (bytes) {
    case 0:
        v = 0;
        return true;
    case 4:
        if (!f.u32(lo))
            return false;
        v = lo;
        return true;
    case 8:
        if (!f.u32(hi) || !f.u32(lo))
            return false;
        v = uint64_t(hi) << 32 | lo;
        return true;
    default:
        return false;
    }
}

// Whether [start + offset, + length) lies inside `limit` bytes, without
// overflowing; a length of 0 stands for the rest of the data.
bool inside(uint64_t start, uint64_t offset, uint64_t length, uint64_t limit) {
    return start <= limit && offset <= limit - start && length <= limit - start - offset;
}

// Walks 'iloc' and checks the extents of `items` against the file and 'idat'.
// The first extent of item `wanted` goes to wantedData (left empty when it
// is elsewhere than in the file or 'idat').
int checkLocations(ByteView iloc, const std::set<uint32_t>& items, ByteView file, ByteView idat,
                   uint32_t wanted, ByteView& wantedData) {
    const uint64_t fileSize = file.size, idatSize = idat.size;
    const bool hasIdat = idat.data != nullptr;
    Fields f(iloc);
    uint32_t versionFlags = 0, sizes = 0, moreSizes = 0, count = 0;
    if (!f.u32(versionFlags) || !f.u8(sizes) || !f.u8(moreSizes))
        return result::kCorruptData;
    const uint32_t version = versionFlags >> 24;
    if (version > 2)
        return result::kUnsupported;
    const uint32_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = moreSizes >> 4;
    const uint32_t indexSize = version >= 1 ? moreSizes & 15 : 0;
    if (version < 2 ? !f.u16(count) : !f.u32(count))
        return result::kCorruptData;
    uint64_t total = 0;
    // Each item takes at least six bytes, so the box bounds the loop.
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0, method = 0, reference = 0, extents = 0;
        uint64_t base = 0;
        if (version < 2 ? !f.u16(id) : !f.u32(id))
            return result::kCorruptData;
        if (version >= 1 && !f.u16(method))
            return result::kCorruptData;
        method &= 15;
        if (!f.u16(reference) || !sized(f, baseSize, base) || !f.u16(extents))
            return result::kCorruptData;
        const bool checked = items.count(id) && reference == 0 && method <= 1;
        if (checked && method == 1 && !hasIdat)
            return result::kCorruptData;
        for (uint32_t e = 0; e < extents; ++e) {
            uint64_t index = 0, offset = 0, length = 0;
            if (!sized(f, indexSize, index) || !sized(f, offsetSize, offset) ||
                !sized(f, lengthSize, length))
                return result::kCorruptData;
            if (!checked)
                continue;
            const uint64_t limit = method == 1 ? idatSize : fileSize;
            if (!inside(base, offset, length, limit))
                return result::kCorruptData;
            if (id == wanted && e == 0)
                wantedData = {(method == 1 ? idat.data : file.data) + base + offset,
                              size_t(length)};
            total += length; // each below the file's size: no overflow
            if (total > fileSize)
                return result::kCorruptData;
        }
    }
    return result::kSuccess;
}

// A grid's description gives the size libheif composes it at, whatever the
// item's 'ispe' says: a description larger than 'ispe' would have it allocate
// for a picture the checks on 'ispe' never saw.
int checkGrid(ByteView meta, uint32_t primary, ByteView description) {
    Children walk(metaChildren(meta));
    Box box;
    ByteView iinf{}, iprp{};
    while (walk.next(box)) {
        if (box.type == fourcc("iinf") && !iinf.data)
            iinf = box.payload;
        else if (box.type == fourcc("iprp") && !iprp.data)
            iprp = box.payload;
    }
    if (!iinf.data || itemType(iinf, primary) != fourcc("grid"))
        return result::kSuccess;
    Fields f(description);
    uint32_t version = 0, flags = 0, rows = 0, columns = 0, width = 0, height = 0;
    if (!f.u8(version) || !f.u8(flags) || !f.u8(rows) || !f.u8(columns))
        return result::kCorruptData;
    const bool sizesRead =
        (flags & 1) ? f.u32(width) && f.u32(height) : f.u16(width) && f.u16(height);
    if (!sizesRead)
        return result::kCorruptData;
    const Transforms t = iprp.data ? itemTransforms(iprp, primary) : Transforms{};
    if (t.width == 0 || t.height == 0 || width > t.width || height > t.height)
        return result::kCorruptData;
    return result::kSuccess;
}

} // namespace

int checkExtents(ByteView file) {
    if (!file.data)
        return result::kCorruptData;
    Children top(file);
    Box box;
    ByteView meta{};
    for (int i = 0; i < kMaxTopLevelBoxes && !meta.data && top.next(box); ++i)
        if (box.type == fourcc("meta"))
            meta = box.payload;
    if (!meta.data || meta.size < 8)
        return result::kSuccess; // nothing located: libheif refuses it itself
    Children walk(metaChildren(meta));
    ByteView iloc{}, idat{}, iref{};
    uint32_t primary = 0;
    while (walk.next(box)) {
        if (box.type == fourcc("pitm"))
            primary = primaryItem(box.payload);
        else if (box.type == fourcc("iloc") && !iloc.data)
            iloc = box.payload;
        else if (box.type == fourcc("idat") && !idat.data)
            idat = box.payload;
        else if (box.type == fourcc("iref") && !iref.data)
            iref = box.payload;
    }
    if (!iloc.data)
        return result::kSuccess;
    const std::set<uint32_t> items =
        itemsRead(primary, iref.data ? references(iref) : std::vector<Reference>{});
    ByteView primaryData{};
    if (const int rc = checkLocations(iloc, items, file, idat, primary, primaryData); rc < 1)
        return rc;
    return checkGrid(meta, primary, primaryData);
}

} // namespace kamelo::imaging::heifboxes
