#include "rawifd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace kamelo::imaging::rawcodec {

bool RangeReader::read(uint64_t offset, size_t length, uint8_t* out) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    if (fd_ < 0) {
        std::memcpy(out, bytes_.data + offset, length);
        return true;
    }
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, out + done, length - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

namespace {

// Far above what cameras write (a NEF or DNG has three to six IFDs of a
// few dozen entries), low enough that a forged file is read in microseconds.
constexpr int kMaxIfds = 32;
constexpr uint32_t kMaxEntries = 1024;
constexpr int kMaxDepth = 2;       // SubIFDs of SubIFDs
constexpr size_t kMaxSubIfds = 16; // per tag
constexpr size_t kMaxPreviews = 16;
constexpr int kMaxJpegSegments = 64;
// LibRaw 0.20 appends a sensor name of up to 7 characters to a Hasselblad
// model in a buffer of 64 (and its format to a normalised name), so longer
// names overrun it.
constexpr size_t kMaxHasselbladModel = 40;

enum Tag : uint16_t {
    kNewSubfileType = 0xFE,
    kImageWidth = 0x100,
    kImageLength = 0x101,
    kBitsPerSample = 0x102,
    kCompression = 0x103,
    kPhotometric = 0x106,
    kStripOffsets = 0x111,
    kOrientation = 0x112,
    kSamplesPerPixel = 0x115,
    kStripByteCounts = 0x117,
    kPlanarConfiguration = 0x11C,
    kSubIfds = 0x14A,
    kJpegOffset = 0x201,
    kJpegLength = 0x202,
    kMake = 0x10F,
    kModel = 0x110,
    kDngVersion = 0xC612,
    kUniqueCameraModel = 0xC614,
    kLocalizedCameraModel = 0xC615,
    kDefaultCropSize = 0xC620,
    kPreviewColorSpace = 0xC71A,
};

// Photometric interpretations of a DNG's sensor data.
constexpr uint32_t kColourFilterArray = 32803;
constexpr uint32_t kLinearRaw = 34892;

struct Entry {
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    const uint8_t* value = nullptr; // the four value bytes
    uint64_t at = 0;                // where they are in the file
};

// What one IFD says about the picture it holds.
struct Ifd {
    uint32_t subfileType = 0, width = 0, height = 0, compression = 0, photometric = 0;
    uint32_t samples = 1, planar = 1, orientation = 0;
    bool eightBits = true;
    uint32_t strips = 0; // how many strips: only single-strip previews are taken
    uint32_t stripOffset = 0, stripLength = 0;
    uint32_t jpegOffset = 0, jpegLength = 0;
    uint32_t colourSpace = 0;
    uint32_t cropWidth = 0, cropHeight = 0;
    bool dng = false;
    bool hasselblad = false; // the maker's name, as LibRaw reads it
    size_t longestModel = 0;
    std::vector<uint32_t> subIfds;
};

class Walker {
public:
    Walker(const RangeReader& file, RawLayout& layout) : file_(file), layout_(layout) {}

    bool start() {
        uint8_t h[8];
        if (!file_.read(0, 8, h))
            return false;
        if (h[0] == 'I' && h[1] == 'I')
            motorola_ = false;
        else if (h[0] == 'M' && h[1] == 'M')
            motorola_ = true;
        else
            return false;
        // Makers' variants of the header (ORF's "IIRO", RW2's "IIU") are
        // walked only for the camera's names LibRaw reads from them too.
        layout_.tiff = u16(h + 2) == 42;
        walkChain(u32(h + 4), 0);
        return true;
    }

private:
    uint16_t u16(const uint8_t* p) const {
        return motorola_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t u32(const uint8_t* p) const {
        return motorola_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                         : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    static size_t typeSize(uint16_t type) {
        switch (type) {
        case 1:
        case 2:
        case 6:
        case 7:
            return 1;
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 13:
            return 4;
        default:
            return 0; // rationals, doubles and unknown types hold nothing read here
        }
    }
    // The entry's values as unsigned numbers (BYTE, SHORT, LONG, IFD), at
    // most max of them; false when they are not all in the file.
    bool values(const Entry& e, size_t max, std::vector<uint32_t>& out) const {
        out.clear();
        const size_t size = typeSize(e.type);
        if (size == 0 || e.count == 0 || e.count > max)
            return false;
        const size_t bytes = size * e.count;
        std::vector<uint8_t> stored(bytes);
        if (bytes <= 4)
            std::memcpy(stored.data(), e.value, bytes);
        else if (!file_.read(u32(e.value), bytes, stored.data()))
            return false;
        for (size_t i = 0; i < e.count; ++i) {
            const uint8_t* p = stored.data() + i * size;
            out.push_back(size == 1 ? p[0] : size == 2 ? u16(p) : u32(p));
        }
        return true;
    }
    uint32_t scalar(const Entry& e) const {
        std::vector<uint32_t> v;
        return e.count == 1 && values(e, 1, v) ? v[0] : 0;
    }

    // A camera name as LibRaw reads it: up to 63 characters from where the
    // value is, to a NUL or a line's end, whatever the entry's count says.
    std::string cameraString(const Entry& e) const {
        const size_t size = typeSize(e.type);
        const bool inside = size != 0 && e.count <= 4 / size;
        const uint64_t start = inside ? e.at : u32(e.value);
        if (start >= file_.size())
            return {};
        uint8_t text[64] = {};
        const size_t length = size_t(std::min<uint64_t>(63, file_.size() - start));
        if (!file_.read(start, length, text))
            return {};
        size_t end = 0;
        while (end < length && text[end] != 0 && text[end] != '\n')
            ++end;
        return std::string(reinterpret_cast<const char*>(text), end);
    }

    void read(const Entry& e, Ifd& ifd) const {
        std::vector<uint32_t> v;
        switch (e.tag) {
        case kNewSubfileType:
            ifd.subfileType = scalar(e);
            break;
        case kImageWidth:
            ifd.width = scalar(e);
            break;
        case kImageLength:
            ifd.height = scalar(e);
            break;
        case kCompression:
            ifd.compression = scalar(e);
            break;
        case kPhotometric:
            ifd.photometric = scalar(e);
            break;
        case kSamplesPerPixel:
            ifd.samples = scalar(e);
            break;
        case kPlanarConfiguration:
            ifd.planar = scalar(e);
            break;
        case kOrientation:
            ifd.orientation = scalar(e);
            break;
        case kJpegOffset:
            ifd.jpegOffset = scalar(e);
            break;
        case kJpegLength:
            ifd.jpegLength = scalar(e);
            break;
        case kDngVersion:
            ifd.dng = true;
            break;
        case kPreviewColorSpace:
            ifd.colourSpace = scalar(e);
            break;
        case kDefaultCropSize:
            // Rationals are left out: the stored size then stands in.
            if (values(e, 2, v) && v.size() == 2) {
                ifd.cropWidth = v[0];
                ifd.cropHeight = v[1];
            }
            break;
        case kStripOffsets:
            ifd.strips = e.count;
            ifd.stripOffset = scalar(e);
            break;
        case kStripByteCounts:
            ifd.stripLength = scalar(e);
            break;
        case kBitsPerSample:
            ifd.eightBits = values(e, 4, v) &&
                            std::all_of(v.begin(), v.end(), [](uint32_t b) { return b == 8; });
            break;
        case kMake:
        case kModel:
        case kUniqueCameraModel:
        case kLocalizedCameraModel: {
            const std::string text = cameraString(e);
            if (e.tag == kMake) {
                std::string lower = text;
                for (char& c : lower)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                ifd.hasselblad = lower.find("hasselblad") != std::string::npos;
            } else {
                ifd.longestModel = std::max(ifd.longestModel, text.size());
            }
            break;
        }
        case kSubIfds:
            if (values(e, kMaxSubIfds, v))
                ifd.subIfds = v;
            break;
        default:
            break;
        }
    }

    // One IFD's entries; next: the offset of the IFD after it (0: none).
    bool readIfd(uint64_t offset, Ifd& ifd, uint64_t& next) const {
        uint8_t countBytes[2];
        if (!file_.read(offset, 2, countBytes))
            return false;
        const uint32_t count = u16(countBytes);
        if (count == 0 || count > kMaxEntries)
            return false;
        std::vector<uint8_t> entries(size_t(count) * 12 + 4);
        next = 0;
        if (!file_.read(offset + 2, entries.size(), entries.data())) {
            // A last IFD may end the file without its link.
            entries.resize(entries.size() - 4);
            if (!file_.read(offset + 2, entries.size(), entries.data()))
                return false;
        } else {
            next = u32(entries.data() + size_t(count) * 12);
        }
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = entries.data() + size_t(i) * 12;
            read(Entry{u16(p), u16(p + 2), u32(p + 4), p + 8, offset + 2 + uint64_t(i) * 12 + 8},
                 ifd);
        }
        return true;
    }

    void walkChain(uint64_t offset, int depth) {
        while (offset != 0 && walked_ < kMaxIfds) {
            if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end())
                return; // a loop
            visited_.push_back(offset);
            ++walked_;
            Ifd ifd;
            uint64_t next = 0;
            if (!readIfd(offset, ifd, next))
                return;
            if (walked_ == 1) {
                layout_.dng = ifd.dng && layout_.tiff;
                layout_.libRawOverflows = ifd.hasselblad && ifd.longestModel > kMaxHasselbladModel;
                if (ifd.orientation >= 1 && ifd.orientation <= 8)
                    layout_.orientation = int(ifd.orientation);
            }
            take(ifd);
            if (depth < kMaxDepth)
                for (const uint32_t sub : ifd.subIfds)
                    walkChain(sub, depth + 1);
            offset = next;
        }
    }

    void take(const Ifd& ifd) {
        if (!layout_.tiff)
            return;
        const bool sensor = ifd.photometric == kColourFilterArray || ifd.photometric == kLinearRaw;
        if (ifd.subfileType == 0 && sensor && layout_.rawWidth == 0) {
            const bool cropped = ifd.cropWidth > 0 && ifd.cropWidth <= ifd.width &&
                                 ifd.cropHeight > 0 && ifd.cropHeight <= ifd.height;
            const uint32_t w = cropped ? ifd.cropWidth : ifd.width;
            const uint32_t h = cropped ? ifd.cropHeight : ifd.height;
            if (w > 0 && h > 0 && w <= 65535 && h <= 65535) {
                layout_.rawWidth = int(w);
                layout_.rawHeight = int(h);
            }
        }
        if (ifd.jpegOffset != 0 && ifd.jpegLength != 0)
            addJpeg(ifd.jpegOffset, ifd.jpegLength, ifd.colourSpace);
        const bool oneStrip = ifd.strips == 1 && ifd.stripLength != 0;
        if (oneStrip && (ifd.compression == 6 || ifd.compression == 7))
            addJpeg(ifd.stripOffset, ifd.stripLength, ifd.colourSpace);
        // An uncompressed 8-bit RGB preview (DNG converters write one of
        // 256 pixels in IFD0).
        const uint64_t rgbBytes = uint64_t(ifd.width) * ifd.height * 3;
        if (oneStrip && ifd.subfileType == 1 && ifd.compression == 1 && ifd.photometric == 2 &&
            ifd.samples == 3 && ifd.planar == 1 && ifd.eightBits && ifd.width > 0 &&
            ifd.height > 0 && ifd.width <= 65535 && ifd.height <= 65535 &&
            ifd.stripLength >= rgbBytes && rgbBytes <= file_.size() &&
            ifd.stripOffset <= file_.size() - rgbBytes)
            add({PreviewSpot::Kind::Rgb, ifd.stripOffset, rgbBytes, int(ifd.width), int(ifd.height),
                 int(ifd.colourSpace)});
    }

    void add(const PreviewSpot& spot) {
        if (layout_.previews.size() >= kMaxPreviews)
            return;
        for (const PreviewSpot& p : layout_.previews)
            if (p.offset == spot.offset)
                return;
        layout_.previews.push_back(spot);
    }

    // A JPEG whose frame header says it is one libjpeg decodes (8-bit
    // baseline or progressive Huffman): the lossless JPEG of a sensor's data
    // is left out here.
    void addJpeg(uint64_t offset, uint64_t length, uint32_t colourSpace) {
        if (length < 4 || offset > file_.size() || length > file_.size() - offset)
            return;
        const uint64_t end = offset + length;
        uint8_t b[10];
        if (!file_.read(offset, 2, b) || b[0] != 0xFF || b[1] != 0xD8)
            return;
        uint64_t at = offset + 2;
        for (int i = 0; i < kMaxJpegSegments && at + 4 <= end; ++i) {
            if (!file_.read(at, 4, b) || b[0] != 0xFF)
                return;
            const uint8_t marker = b[1];
            const uint32_t size = uint32_t(b[2]) << 8 | b[3];
            if (size < 2 || marker == 0xDA || (marker >= 0xD0 && marker <= 0xD9) || marker == 0x01)
                return; // the scan, or a marker without a length, before a frame header
            if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
                if (size < 8 || at + 10 > end || !file_.read(at + 4, 6, b + 4))
                    return;
                const int height = b[5] << 8 | b[6];
                const int width = b[7] << 8 | b[8];
                if (b[4] != 8 || width == 0 || height == 0 || (b[9] != 1 && b[9] != 3))
                    return;
                add({PreviewSpot::Kind::Jpeg, offset, length, width, height, int(colourSpace)});
                return;
            }
            if (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC)
                return; // lossless, hierarchical or arithmetic coded
            at += 2 + uint64_t(size);
        }
    }

    const RangeReader& file_;
    RawLayout& layout_;
    bool motorola_ = false;
    int walked_ = 0;
    std::vector<uint64_t> visited_;
};

} // namespace

RawLayout readLayout(const RangeReader& file) {
    RawLayout layout;
    Walker(file, layout).start();
    return layout;
}

const PreviewSpot* choosePreview(const RawLayout& layout, int minWidth, int minHeight) {
    auto pixels = [](const PreviewSpot& p) { return int64_t(p.width) * p.height; };
    const PreviewSpot* largest = nullptr;
    for (const PreviewSpot& p : layout.previews)
        if (!largest || pixels(p) > pixels(*largest))
            largest = &p;
    if (!largest || (minWidth <= 0 && minHeight <= 0))
        return largest;
    // Small thumbnails of another shape than the preview are letterboxed
    // (a 3:2 picture in a 160 x 120 thumbnail between black bars): only
    // those of the picture's own shape stand for it.
    auto sameShape = [&](const PreviewSpot& p) {
        const int64_t a = int64_t(p.width) * largest->height;
        const int64_t b = int64_t(largest->width) * p.height;
        return std::abs(a - b) * 50 <= std::max(a, b); // within 2 %
    };
    const PreviewSpot* covering = nullptr;
    for (const PreviewSpot& p : layout.previews)
        if (p.width >= minWidth && p.height >= minHeight && sameShape(p) &&
            (!covering || pixels(p) < pixels(*covering)))
            covering = &p;
    return covering ? covering : largest;
}

} // namespace kamelo::imaging::rawcodec
