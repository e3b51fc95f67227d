#include "heifboxes.h"

#include "imaging/result.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace kamelo::imaging::heifboxes {

namespace {

// A 'meta' box larger than this is not a photo's: phones write a few
// kilobytes even for pictures of hundreds of grid tiles.
constexpr size_t kMaxMetaBytes = size_t(4) << 20;
constexpr size_t kMaxFileTypeBytes = 4096;
// Top-level boxes looked at before giving up on finding 'meta'.
constexpr int kMaxTopLevelBoxes = 64;

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
uint64_t be64(const uint8_t* p) {
    return uint64_t(be32(p)) << 32 | be32(p + 4);
}

struct Box {
    uint32_t type = 0;
    ByteView payload;
};

// The child boxes of a range, one after another; a box that claims more than
// its parent holds ends the walk.
class Children {
public:
    explicit Children(ByteView range) : range_(range) {}

    bool next(Box& box) {
        const size_t left = range_.size - pos_;
        if (left < 8)
            return false;
        const uint8_t* p = range_.data + pos_;
        uint64_t size = be32(p);
        size_t header = 8;
        if (size == 1) {
            if (left < 16)
                return false;
            size = be64(p + 8);
            header = 16;
        } else if (size == 0) {
            size = left; // to the end of the parent
        }
        if (size < header || size > left)
            return false;
        box.type = be32(p + 4);
        box.payload = {p + header, static_cast<size_t>(size) - header};
        pos_ += static_cast<size_t>(size);
        return true;
    }

private:
    ByteView range_;
    size_t pos_ = 0;
};

// Reads fixed fields from a payload, refusing to run past its end.
class Fields {
public:
    explicit Fields(ByteView bytes) : bytes_(bytes) {}
    bool skip(size_t n) {
        if (bytes_.size - pos_ < n)
            return false;
        pos_ += n;
        return true;
    }
    bool u8(uint32_t& v) {
        if (bytes_.size - pos_ < 1)
            return false;
        v = bytes_.data[pos_++];
        return true;
    }
    bool u16(uint32_t& v) {
        if (bytes_.size - pos_ < 2)
            return false;
        v = be16(bytes_.data + pos_);
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (bytes_.size - pos_ < 4)
            return false;
        v = be32(bytes_.data + pos_);
        pos_ += 4;
        return true;
    }
    ByteView rest() const { return {bytes_.data + pos_, bytes_.size - pos_}; }

private:
    ByteView bytes_;
    size_t pos_ = 0;
};

// Orientations as 2 x 2 matrices taking stored coordinates (x right, y down,
// origin at the centre) to displayed ones, indexed by EXIF value - 1.
using Matrix = std::array<int, 4>;
constexpr std::array<Matrix, 8> kMatrices = {{
    {1, 0, 0, 1},   // 1 upright
    {-1, 0, 0, 1},  // 2 left and right exchanged
    {-1, 0, 0, -1}, // 3 half turn
    {1, 0, 0, -1},  // 4 top and bottom exchanged
    {0, 1, 1, 0},   // 5 transposed
    {0, -1, 1, 0},  // 6 quarter turn clockwise
    {0, -1, -1, 0}, // 7 transversed
    {0, 1, -1, 0},  // 8 quarter turn anticlockwise
}};

// A property of 'ipco': its type and payload (inside the meta box read).
struct Property {
    uint32_t type = 0;
    ByteView payload;
};

// What the primary item's properties say, in association order.
struct Transforms {
    int orientation = 1;
    bool turned = false; // an irot or imir seen: a crop after it is not ours to read
    uint32_t width = 0, height = 0;
    ByteView clap;
};

// The clean aperture of a width x height picture as whole pixels: its centre
// offset from the picture's, its size, both as fractions. A crop that does
// not fit inside the picture is not applied.
bool cleanAperture(ByteView clap, uint32_t width, uint32_t height, Crop& crop) {
    Fields f(clap);
    uint32_t v[8] = {};
    for (uint32_t& x : v)
        if (!f.u32(x))
            return false;
    if (v[1] == 0 || v[3] == 0 || v[5] == 0 || v[7] == 0 || width == 0 || height == 0)
        return false;
    const double cleanWidth = double(v[0]) / v[1], cleanHeight = double(v[2]) / v[3];
    const double centreX = (double(width) - 1) / 2 + double(int32_t(v[4])) / v[5];
    const double centreY = (double(height) - 1) / 2 + double(int32_t(v[6])) / v[7];
    const double left = std::floor(centreX - (cleanWidth - 1) / 2);
    const double top = std::floor(centreY - (cleanHeight - 1) / 2);
    const double w = std::round(cleanWidth), h = std::round(cleanHeight);
    if (w < 1 || h < 1 || left < 0 || top < 0 || left + w > width || top + h > height)
        return false;
    crop = {int(left), int(top), int(w), int(h)};
    return true;
}

uint32_t primaryItem(ByteView payload) {
    Fields f(payload);
    uint32_t versionFlags = 0, id = 0;
    if (!f.u32(versionFlags))
        return 0;
    if ((versionFlags >> 24) == 0 ? !f.u16(id) : !f.u32(id))
        return 0;
    return id;
}

uint32_t itemType(ByteView iinf, uint32_t item) {
    Fields f(iinf);
    uint32_t versionFlags = 0, count = 0;
    if (!f.u32(versionFlags) || ((versionFlags >> 24) == 0 ? !f.u16(count) : !f.u32(count)))
        return 0;
    Children entries(f.rest());
    Box infe;
    while (entries.next(infe)) {
        if (infe.type != fourcc("infe"))
            continue;
        Fields e(infe.payload);
        uint32_t v = 0, id = 0, protection = 0, type = 0;
        if (!e.u32(v) || (v >> 24) < 2)
            continue; // old entries carry no item type
        if (((v >> 24) == 2 ? !e.u16(id) : !e.u32(id)) || !e.u16(protection) || !e.u32(type))
            continue;
        if (id == item)
            return type;
    }
    return 0;
}

std::vector<Property> properties(ByteView ipco) {
    std::vector<Property> list;
    Children children(ipco);
    Box box;
    while (children.next(box))
        list.push_back({box.type, box.payload});
    return list;
}

// Applies the item's transforms of one 'ipma' in the order they are listed.
void applyAssociations(ByteView ipma, uint32_t item, const std::vector<Property>& props,
                       Transforms& t) {
    Fields f(ipma);
    uint32_t versionFlags = 0, entries = 0;
    if (!f.u32(versionFlags) || !f.u32(entries))
        return;
    const bool longIds = (versionFlags >> 24) >= 1;
    const bool wideIndices = (versionFlags & 1) != 0;
    // Every entry takes at least three bytes, so the loop ends with the box.
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t id = 0, count = 0;
        if ((longIds ? !f.u32(id) : !f.u16(id)) || !f.u8(count))
            return;
        for (uint32_t a = 0; a < count; ++a) {
            uint32_t value = 0;
            if (wideIndices ? !f.u16(value) : !f.u8(value))
                return;
            if (id != item)
                continue;
            const uint32_t index = value & (wideIndices ? 0x7fffu : 0x7fu);
            if (index == 0 || index > props.size())
                continue;
            const Property& p = props[index - 1];
            const int first = p.payload.size > 0 ? p.payload.data[0] : -1;
            if (p.type == fourcc("irot") && first >= 0) {
                t.orientation = compose(t.orientation, fromRotation(first & 3));
                t.turned = true;
            } else if (p.type == fourcc("imir") && first >= 0) {
                t.orientation = compose(t.orientation, fromMirror(first & 1));
                t.turned = true;
            } else if (p.type == fourcc("clap") && !t.turned) {
                t.clap = p.payload;
            } else if (p.type == fourcc("ispe")) {
                Fields e(p.payload);
                uint32_t versionFlags = 0;
                if (!e.u32(versionFlags) || !e.u32(t.width) || !e.u32(t.height))
                    t.width = t.height = 0;
            }
        }
    }
}

void walkTopLevel(ByteView file, Facts& facts) {
    Children top(file);
    Box box;
    bool metaSeen = false;
    for (int i = 0; i < kMaxTopLevelBoxes && !metaSeen && top.next(box); ++i) {
        if (box.type == fourcc("ftyp"))
            parseFileType(box.payload, facts);
        else if (box.type == fourcc("meta")) {
            parseMeta(box.payload, facts);
            metaSeen = true;
        }
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool readAt(int fd, uint64_t offset, size_t size, std::vector<uint8_t>& out) {
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out.data() + done, size - done, off_t(offset + done));
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

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
    const bool versioned = be32(meta.data + 4) != fourcc("hdlr");
    Children walk(versioned ? ByteView{meta.data + 4, meta.size - 4} : meta);
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
    Transforms t;
    if (iprp.data) {
        std::vector<Property> props;
        Children first(iprp);
        while (first.next(box))
            if (box.type == fourcc("ipco") && props.empty())
                props = properties(box.payload);
        Children second(iprp);
        while (second.next(box))
            if (box.type == fourcc("ipma"))
                applyAssociations(box.payload, primary, props, t);
    }
    if (t.width == 0 || t.height == 0 || width > t.width || height > t.height)
        return result::kCorruptData;
    return result::kSuccess;
}

} // namespace

int compose(int first, int then) {
    if (first < 1 || first > 8 || then < 1 || then > 8)
        return 1;
    const Matrix& a = kMatrices[first - 1];
    const Matrix& b = kMatrices[then - 1];
    const Matrix product = {b[0] * a[0] + b[1] * a[2], b[0] * a[1] + b[1] * a[3],
                            b[2] * a[0] + b[3] * a[2], b[2] * a[1] + b[3] * a[3]};
    for (int i = 0; i < 8; ++i)
        if (kMatrices[i] == product)
            return i + 1;
    return 1;
}

int fromRotation(int quarterTurnsAnticlockwise) {
    constexpr int kByTurns[4] = {1, 8, 3, 6};
    return kByTurns[quarterTurnsAnticlockwise & 3];
}

int fromMirror(int axis) {
    return (axis & 1) ? 2 : 4;
}

void parseFileType(ByteView payload, Facts& facts) {
    Fields f(payload);
    uint32_t brand = 0, minor = 0;
    if (!f.u32(brand) || !f.u32(minor))
        return;
    facts.majorBrand = brand;
    auto note = [&](uint32_t b) {
        if (b == fourcc("avif") || b == fourcc("avis"))
            facts.avifBrand = true;
        if (b == fourcc("heic") || b == fourcc("heix") || b == fourcc("heim") ||
            b == fourcc("heis") || b == fourcc("hevc") || b == fourcc("hevx"))
            facts.heicBrand = true;
    };
    note(brand);
    for (uint32_t compatible = 0; f.u32(compatible);)
        note(compatible);
}

void parseMeta(ByteView payload, Facts& facts) {
    // A few writers leave out the version and flags of 'meta'; its first
    // child, 'hdlr', then starts at once.
    if (payload.size < 8)
        return;
    const bool versioned = be32(payload.data + 4) != fourcc("hdlr");
    const ByteView children = versioned ? ByteView{payload.data + 4, payload.size - 4} : payload;
    ByteView iinf{}, iprp{};
    uint32_t primary = 0;
    bool hasPrimary = false;
    Children walk(children);
    Box box;
    while (walk.next(box)) {
        if (box.type == fourcc("pitm")) {
            primary = primaryItem(box.payload);
            hasPrimary = true;
        } else if (box.type == fourcc("iinf"))
            iinf = box.payload;
        else if (box.type == fourcc("iprp"))
            iprp = box.payload;
    }
    if (!hasPrimary)
        return;
    if (iinf.data)
        facts.primaryType = itemType(iinf, primary);
    if (!iprp.data)
        return;
    std::vector<Property> props;
    Children first(iprp);
    while (first.next(box))
        if (box.type == fourcc("ipco") && props.empty())
            props = properties(box.payload);
    Transforms t;
    Children second(iprp);
    while (second.next(box))
        if (box.type == fourcc("ipma"))
            applyAssociations(box.payload, primary, props, t);
    facts.orientation = t.orientation;
    if (t.clap.data && !cleanAperture(t.clap, t.width, t.height, facts.crop))
        facts.crop = Crop{};
}

Facts factsOf(ByteView file) {
    Facts facts;
    if (file.data)
        walkTopLevel(file, facts);
    return facts;
}

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
    const bool versioned = be32(meta.data + 4) != fourcc("hdlr");
    Children walk(versioned ? ByteView{meta.data + 4, meta.size - 4} : meta);
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

int readFacts(const std::string& path, Facts& facts) {
    facts = Facts{};
    int raw = -1;
    if (const int rc = openRegularFile(path, raw); rc < 1)
        return rc;
    const FileDescriptor fd(raw);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return result::kFileRead;
    const uint64_t fileSize = uint64_t(st.st_size);
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < kMaxTopLevelBoxes && fileSize - offset >= 8; ++i) {
        const size_t headRoom = size_t(std::min<uint64_t>(16, fileSize - offset));
        if (!readAt(fd.get(), offset, headRoom, bytes))
            return result::kFileRead;
        uint64_t size = be32(bytes.data());
        const uint32_t type = be32(bytes.data() + 4);
        uint64_t header = 8;
        if (size == 1) {
            if (headRoom < 16)
                return result::kTruncated;
            size = be64(bytes.data() + 8);
            header = 16;
        } else if (size == 0) {
            size = fileSize - offset;
        }
        if (size < header || size > fileSize - offset)
            return result::kCorruptData;
        const uint64_t payload = size - header;
        if (type == fourcc("ftyp") || type == fourcc("meta")) {
            const size_t limit = type == fourcc("ftyp") ? kMaxFileTypeBytes : kMaxMetaBytes;
            if (payload > limit)
                return result::kUnsupported;
            if (!readAt(fd.get(), offset + header, size_t(payload), bytes))
                return result::kFileRead;
            const ByteView view{bytes.data(), bytes.size()};
            if (type == fourcc("ftyp"))
                parseFileType(view, facts);
            else {
                parseMeta(view, facts);
                return result::kSuccess;
            }
        }
        offset += size;
    }
    return result::kCorruptData; // no 'meta' among the first boxes
}

} // namespace kamelo::imaging::heifboxes
