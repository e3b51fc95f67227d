#include "heifboxreader.h"

#include "imaging/result.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace kamelo::imaging::heifboxes {

using namespace detail;

namespace {

// A 'meta' box larger than this is not a photo's: phones write a few
// kilobytes even for pictures of hundreds of grid tiles.
constexpr size_t kMaxMetaBytes = size_t(4) << 20;
constexpr size_t kMaxFileTypeBytes = 4096;

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
    ByteView iinf{}, iprp{};
    uint32_t primary = 0;
    bool hasPrimary = false;
    Children walk(metaChildren(payload));
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
    const Transforms t = itemTransforms(iprp, primary);
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
