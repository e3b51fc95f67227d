#include "jpegsectionreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

namespace kamelo {

namespace {

constexpr int kBytesPerFormat[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr int kMaxDepth = 16;

enum Marker : int {
    kSOF0 = 0xC0,
    kSOF15 = 0xCF,
    kDHT = 0xC4,
    kJPG = 0xC8,
    kDAC = 0xCC,
    kEOI = 0xD9,
    kSOS = 0xDA,
    kAPP0 = 0xE0,
    kAPP1 = 0xE1,
    kCOM = 0xFE,
};

enum Tag : uint16_t {
    kMake = 0x010F,
    kModel = 0x0110,
    kOrientation = 0x0112,
    kXResolution = 0x011A,
    kYResolution = 0x011B,
    kResolutionUnit = 0x0128,
    kThumbnailOffset = 0x0201,
    kThumbnailLength = 0x0202,
    kExposureTime = 0x829A,
    kFNumber = 0x829D,
    kExifOffset = 0x8769,
    kExposureProgram = 0x8822,
    kIsoEquivalent = 0x8827,
    kExifVersion = 0x9000,
    kDateTimeOriginal = 0x9003,
    kCompressionLevel = 0x9102,
    kShutterSpeed = 0x9201,
    kAperture = 0x9202,
    kBrightness = 0x9203,
    kExposureBias = 0x9204,
    kMaxAperture = 0x9205,
    kSubjectDistance = 0x9206,
    kMeteringMode = 0x9207,
    kLightSource = 0x9208,
    kFlash = 0x9209,
    kFocalLength = 0x920A,
    kUserComment = 0x9286,
    kExifImageWidth = 0xA002,
    kExifImageLength = 0xA003,
    kInteropOffset = 0xA005,
    kFocalPlaneXRes = 0xA20E,
    kFocalPlaneYRes = 0xA20F,
    kFocalPlaneUnits = 0xA210,
};

bool isFrameMarker(int m) {
    return m >= kSOF0 && m <= kSOF15 && m != kDHT && m != kJPG && m != kDAC;
}

// The unit codes of 0x0128 and 0xA210 as factors to inches; 0 for others.
float unitFactor(int code) {
    switch (code) {
    case 1:
    case 2:
        return 1.0f;
    case 3:
        return 0.3937f;
    case 4:
        return 0.03937f;
    case 5:
        return 0.00003937f;
    default:
        return 0.0f;
    }
}

// Copies text up to its NUL, at most max bytes.
std::string text(const uint8_t* p, size_t available, size_t max) {
    const size_t n = std::min(available, max);
    size_t len = 0;
    while (len < n && p[len] != 0)
        ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}

int truncated(double v) {
    if (!(v == v) || v > 2147483647.0 || v < -2147483648.0)
        return 0; // NaN or out of range: nothing sensible to keep
    return static_cast<int>(v);
}

} // namespace

JpegSectionReader::JpegSectionReader(ExifImageInfo* info) {
    if (!info) {
        owned_ = std::make_unique<ExifImageInfo>();
        info = owned_.get();
    }
    info_ = info;
}

uint16_t JpegSectionReader::get16(const uint8_t* p) const {
    return motorola_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t JpegSectionReader::get32(const uint8_t* p) const {
    return motorola_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                     : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

double JpegSectionReader::convert(const uint8_t* v, int format) const {
    switch (format) {
    case 1:
        return v[0];
    case 6:
        return int8_t(v[0]);
    case 3:
        return get16(v);
    case 8:
        return int16_t(get16(v));
    case 4:
        return get32(v);
    case 9:
        return int32_t(get32(v));
    case 5:
    case 10: {
        const int32_t num = int32_t(get32(v)), den = int32_t(get32(v + 4));
        return den == 0 ? 0.0 : double(num) / double(den);
    }
    case 11: {
        const uint32_t bits = get32(v);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    case 12: {
        // Doubles in the file's order, as two 32-bit halves.
        const uint64_t hi = get32(motorola_ ? v : v + 4), lo = get32(motorola_ ? v + 4 : v);
        const uint64_t bits = hi << 32 | lo;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    default:
        return 0;
    }
}

const JpegSectionReader::Section* JpegSectionReader::exifSection() const {
    for (const Section& s : sections_)
        if (s.type == kAPP1 && s.data.size() >= 8 && std::memcmp(s.data.data() + 2, "Exif", 4) == 0)
            return &s;
    return nullptr;
}

const uint8_t* JpegSectionReader::thumbnail(uint32_t& size) const {
    size = 0;
    const Section* s = exifSection();
    if (!s || info_->thumbnailSize == 0 ||
        uint64_t(info_->thumbnailOffset) + info_->thumbnailSize > s->data.size())
        return nullptr;
    size = info_->thumbnailSize;
    return s->data.data() + info_->thumbnailOffset;
}

bool JpegSectionReader::readSections(std::FILE* file, bool withScanData) {
    if (!file || std::fgetc(file) != 0xFF || std::fgetc(file) != 0xD8)
        return false;
    while (int(sections_.size()) < kMaxSections) {
        int marker = 0;
        for (int a = 0;; ++a) {
            marker = std::fgetc(file);
            if (marker != 0xFF)
                break;
            if (a >= 6) {
                std::cout << "too many padding unsigned chars\n";
                return false;
            }
        }
        const int hi = std::fgetc(file), lo = marker == EOF ? EOF : std::fgetc(file);
        if (marker == EOF || hi == EOF || lo == EOF) {
            error_ = "Premature end of file?";
            return false;
        }
        const size_t length = size_t(hi) << 8 | size_t(lo);
        if (length < 2) {
            error_ = "invalid marker";
            return false;
        }
        Section section;
        section.type = marker;
        section.data.resize(length);
        section.data[0] = uint8_t(hi);
        section.data[1] = uint8_t(lo);
        if (std::fread(section.data.data() + 2, 1, length - 2, file) != length - 2) {
            error_ = "Premature end of file?";
            return false;
        }
        const uint8_t* d = section.data.data();

        if (isFrameMarker(marker)) {
            if (length >= 8) {
                info_->height = d[3] << 8 | d[4];
                info_->width = d[5] << 8 | d[6];
                info_->isColor = d[7] == 3 ? 1 : 0;
            }
            info_->process = marker;
            sections_.push_back(std::move(section));
            continue;
        }
        switch (marker) {
        case kEOI:
            std::cout << "No image in jpeg!\n";
            return false;
        case kSOS: {
            sections_.push_back(std::move(section));
            // With all 20 slots taken the scan data is left unread; what the
            // frame and EXIF told is complete without it.
            if (int(sections_.size()) >= kMaxSections || !withScanData)
                return true;
            Section scan;
            scan.type = kScanDataType;
            const long here = std::ftell(file);
            if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
                const long end = std::ftell(file);
                std::fseek(file, here, SEEK_SET);
                if (end >= here) {
                    try {
                        scan.data.resize(size_t(end - here));
                    } catch (const std::bad_alloc&) {
                        error_ = "could not allocate data for entire image";
                        return false;
                    }
                }
            }
            if (!scan.data.empty() &&
                std::fread(scan.data.data(), 1, scan.data.size(), file) != scan.data.size()) {
                error_ = "could not read the rest of the image";
                return false;
            }
            sections_.push_back(std::move(scan));
            return true;
        }
        case kAPP0:
            continue; // dropped
        case kAPP1:
            if (length >= 6 && std::memcmp(d + 2, "Exif", 4) == 0) {
                info_->hasExif = processExif(d + 2, length);
                sections_.push_back(std::move(section));
            }
            continue; // other APP1 blocks are dropped
        case kCOM:
            if (!sawComment_) {
                sawComment_ = true;
                processComment(d, length);
                sections_.push_back(std::move(section));
            }
            continue;
        default:
            sections_.push_back(std::move(section));
            continue;
        }
    }
    error_ = "Too many sections in jpg file";
    return false;
}

void JpegSectionReader::processComment(const uint8_t* d, size_t length) {
    const size_t n = std::min<size_t>(length, 1000);
    std::string out;
    for (size_t a = 2; a < n; ++a) {
        const uint8_t c = d[a];
        if (c == '\r' && a + 1 < n && d[a + 1] == '\n')
            continue;
        out += (c >= 32 || c == '\n' || c == '\t') ? char(c) : '?';
    }
    info_->comments = out.substr(0, ExifImageInfo::kCommentLength);
}

bool JpegSectionReader::processExif(const uint8_t* data, size_t length) {
    info_->comments.clear();
    info_->flashUsed = 0;
    exifImageWidth_ = 0;
    thumbOffset_ = thumbSize_ = 0;
    walked_.clear();
    // What really follows the length bytes.
    const size_t available = length >= 2 ? length - 2 : 0;
    if (available < 6 || std::memcmp(data, "Exif\0\0", 6) != 0) {
        error_ = "Incorrect Exif header";
        return false;
    }
    if (available < 14) {
        error_ = "Invalid Exif alignment marker.";
        return false;
    }
    if (std::memcmp(data + 6, "II", 2) == 0) {
        motorola_ = false;
    } else if (std::memcmp(data + 6, "MM", 2) == 0) {
        motorola_ = true;
    } else {
        error_ = "Invalid Exif alignment marker.";
        return false;
    }
    if (get16(data + 8) != 42) {
        error_ = "Invalid Exif start (1)";
        return false;
    }
    const uint32_t first = get32(data + 10);
    const Walk walk{data + 6, available - 6};
    // Usually 8; cameras also write the first directory further on, which
    // is valid as long as it lies inside the block.
    if (first < 8 || first >= walk.length) {
        error_ = "Suspicious offset of first IFD value";
        return false;
    }
    if (first > 16)
        error_ = "Suspicious offset of first IFD value";
    // The first directory where the header says it is (8 in nearly every file).
    if (!processDirectory(walk, first, 0, false))
        return false;
    if (info_->focalPlaneXRes != 0)
        info_->ccdWidth = float(exifImageWidth_ * info_->focalPlaneUnits / info_->focalPlaneXRes);
    return true;
}

bool JpegSectionReader::processDirectory(const Walk& w, size_t start, int depth,
                                         bool thumbnailDirectory) {
    if (depth > kMaxDepth || !walked_.insert(start).second)
        return true; // a loop of links: this directory was read already
    if (start > w.length || w.length - start < 2) {
        error_ = "Illegally sized directory";
        return false;
    }
    const size_t count = get16(w.base + start);
    const size_t dirEnd = start + 2 + 12 * count;
    if (dirEnd > w.length) {
        error_ = "Illegally sized directory";
        return false;
    }
    for (size_t e = 0; e < count; ++e) {
        const uint8_t* entry = w.base + start + 2 + 12 * e;
        const uint16_t tag = get16(entry);
        const int format = get16(entry + 2);
        const uint32_t components = get32(entry + 4);
        if (format < 1 || format > 12) {
            error_ = "Illegal format code in EXIF dir";
            return false;
        }
        const uint64_t byteCount = uint64_t(components) * uint64_t(kBytesPerFormat[format]);
        const uint8_t* value = entry + 8;
        if (byteCount > 4) {
            const uint64_t offset = get32(entry + 8);
            if (offset + byteCount > w.length) {
                error_ = "Illegal pointer offset value in EXIF.";
                return false;
            }
            value = w.base + offset;
        }
        // A value shorter than one item of its format holds nothing numeric.
        const bool whole = byteCount >= uint64_t(kBytesPerFormat[format]);
        const double v = whole ? convert(value, format) : 0.0;
        const size_t n = size_t(byteCount);
        // The thumbnail's directory describes the thumbnail (its own size,
        // resolution, ...): only where the thumbnail lies is taken from it.
        if (thumbnailDirectory && tag != kThumbnailOffset && tag != kThumbnailLength)
            continue;

        switch (tag) {
        case kMake:
            info_->cameraMake = text(value, n, ExifImageInfo::kMakeLength);
            break;
        case kModel:
            info_->cameraModel = text(value, n, ExifImageInfo::kModelLength);
            break;
        case kDateTimeOriginal:
            info_->dateTime = text(value, n, ExifImageInfo::kDateLength);
            break;
        case kExifVersion:
            info_->exifVersion = text(value, n, ExifImageInfo::kVersionLength);
            break;
        case kOrientation: {
            const int o = truncated(v);
            if (o < 1 || o > 8) {
                error_ = "Undefined rotation value";
                info_->orientation = 0;
            } else {
                info_->orientation = o;
            }
            break;
        }
        case kUserComment: {
            size_t len = n;
            while (len > 0 && value[len - 1] == ' ')
                --len; // trailing spaces go
            if (len >= 5 && std::memcmp(value, "ASCII", 5) == 0) {
                for (size_t a = 5; a < 10 && a < len; ++a)
                    if (value[a] != 0 && value[a] != ' ') {
                        info_->comments =
                            text(value + a, len - a, ExifImageInfo::kUserCommentLength);
                        break;
                    }
            } else {
                info_->comments = text(value, len, ExifImageInfo::kUserCommentLength);
            }
            break;
        }
        case kFNumber:
            info_->apertureFNumber = float(v);
            break;
        case kAperture:
        case kMaxAperture:
            if (info_->apertureFNumber == 0)
                info_->apertureFNumber = float(std::exp2(v / 2));
            break;
        case kFocalLength:
            info_->focalLength = float(v);
            break;
        case kSubjectDistance:
            info_->distance = float(v);
            break;
        case kExposureTime:
            info_->exposureTime = float(v);
            break;
        case kShutterSpeed:
            if (info_->exposureTime == 0)
                info_->exposureTime = float(1 / std::exp2(v));
            break;
        case kFlash:
            info_->flashUsed = (truncated(v) & 7) ? 1 : 0;
            break;
        case kFocalPlaneXRes:
            info_->focalPlaneXRes = float(v);
            break;
        case kFocalPlaneYRes:
            info_->focalPlaneYRes = float(v);
            break;
        case kFocalPlaneUnits:
            if (const float f = unitFactor(truncated(v)))
                info_->focalPlaneUnits = f;
            break;
        case kXResolution:
            info_->xResolution = float(v);
            break;
        case kYResolution:
            info_->yResolution = float(v);
            break;
        case kResolutionUnit:
            if (const float f = unitFactor(truncated(v)))
                info_->resolutionUnit = f;
            break;
        case kBrightness:
            info_->brightness = float(v);
            break;
        case kExposureBias:
            info_->exposureBias = float(v);
            break;
        case kLightSource:
            info_->whiteBalance = truncated(v);
            break;
        case kMeteringMode:
            info_->meteringMode = truncated(v);
            break;
        case kExposureProgram:
            info_->exposureProgram = truncated(v);
            break;
        case kIsoEquivalent:
            info_->isoEquivalent = truncated(v);
            if (info_->isoEquivalent < 50)
                info_->isoEquivalent *= 200;
            break;
        case kCompressionLevel:
            info_->compressionLevel = truncated(v);
            break;
        case kExifImageWidth:
        case kExifImageLength:
            if (v > exifImageWidth_ && v < 4294967296.0)
                exifImageWidth_ = uint32_t(v);
            break;
        case kThumbnailOffset:
            thumbOffset_ = uint32_t(std::max(0, truncated(v)));
            break;
        case kThumbnailLength:
            thumbSize_ = uint32_t(std::max(0, truncated(v)));
            break;
        case kExifOffset:
        case kInteropOffset: {
            const uint64_t target = get32(value);
            if (!whole || target > w.length) {
                error_ = "Illegal subdirectory link";
                return false;
            }
            processDirectory(w, size_t(target), depth + 1, false);
            break;
        }
        default:
            break;
        }
    }

    // The next directory (IFD1 holds the thumbnail).
    if (w.length - dirEnd >= 4) {
        const uint64_t next = get32(w.base + dirEnd);
        if (next != 0) {
            if (next > w.length) {
                error_ = "Illegal subdirectory link";
                return false;
            }
            // IFD0's next directory is the thumbnail's (IFD1).
            processDirectory(w, size_t(next), depth + 1, thumbnailDirectory || depth == 0);
        }
    }
    if (thumbOffset_ && thumbSize_ && uint64_t(thumbOffset_) + thumbSize_ <= w.length) {
        // From the section's first byte: two length bytes and "Exif\0\0".
        info_->thumbnailOffset = thumbOffset_ + 8;
        info_->thumbnailSize = thumbSize_;
    }
    return true;
}

} // namespace kamelo
