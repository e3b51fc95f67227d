#include "metadatacarrier.h"

#include "exivfile.h"
#include "exivvalues.h"
#include "result.h"

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace kamelo::imaging {

namespace {

constexpr size_t kSegmentData = 65533;
constexpr int kThumbnailWidth = 160;
constexpr int kThumbnailHeight = 120;
constexpr int kThumbnailQuality = 80;

const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/";               // with its NUL
const char kIccHeader[] = "ICC_PROFILE";                                // with its NUL
const char kExtendedXmpHeader[] = "http://ns.adobe.com/xmp/extension/"; // with its NUL
const char kPhotoshopHeader[] = "Photoshop 3.0";                        // with its NUL

// Tags that describe how a file stores its pixels, or carry what is written
// elsewhere (XMP, IPTC, ICC): copied, they would describe the source's file.
constexpr std::array<const char*, 25> kStorageTags = {
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.FillOrder",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.SubIFDs",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.JPEGTables",
    "Exif.Image.YCbCrSubSampling",
    "Exif.Image.XMLPacket",
    "Exif.Image.IPTCNAA",
    "Exif.Image.ImageResources",
    "Exif.Image.InterColorProfile",
};

void eraseKey(Exiv2::ExifData& exif, const char* key) {
    for (auto it = exif.findKey(Exiv2::ExifKey(key)); it != exif.end();
         it = exif.findKey(Exiv2::ExifKey(key)))
        exif.erase(it);
}

// A size tag that is present gets the written picture's size, in its own
// type when that can hold it.
void setSize(Exiv2::ExifData& exif, const char* key, int value) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end())
        return;
    if (it->typeId() == Exiv2::unsignedShort && value <= 0xFFFF)
        it->setValue(exivvalue::shorts(static_cast<uint16_t>(value)).get());
    else
        it->setValue(exivvalue::longs(static_cast<uint32_t>(std::max(value, 0))).get());
}

// A small picture of pixels for the EXIF thumbnail: each of its pixels is
// the mean of a 4 x 4 grid of samples spread over its cell, so a large
// picture is not read whole.
Bitmap thumbnailOf(const Bitmap& pixels) {
    const double scale = std::min({1.0, double(kThumbnailWidth) / pixels.width(),
                                   double(kThumbnailHeight) / pixels.height()});
    const int w = std::max(1, int(pixels.width() * scale + 0.5));
    const int h = std::max(1, int(pixels.height() * scale + 0.5));
    Bitmap small;
    if (small.allocate(w, h) < 1)
        return small;
    constexpr int kGrid = 4;
    for (int y = 0; y < h; ++y) {
        uint8_t* out = small.row(y);
        int ys[kGrid];
        for (int j = 0; j < kGrid; ++j)
            ys[j] =
                std::min(pixels.height() - 1, int((y + (j + 0.5) / kGrid) * pixels.height() / h));
        for (int x = 0; x < w; ++x) {
            unsigned sum[3] = {0, 0, 0};
            for (int i = 0; i < kGrid; ++i) {
                const int sx =
                    std::min(pixels.width() - 1, int((x + (i + 0.5) / kGrid) * pixels.width() / w));
                for (int j = 0; j < kGrid; ++j) {
                    const uint8_t* p = pixels.row(ys[j]) + sx * 3;
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = uint8_t((sum[c] + kGrid * kGrid / 2) / (kGrid * kGrid));
        }
    }
    return small;
}

void append(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

// A packet stops at its end: the padding after it is the writer's room for
// edits in place, of no use in a file written whole.
void trimXmpPadding(std::string& xmp) {
    const size_t end = xmp.rfind("<?xpacket end=");
    if (end != std::string::npos) {
        const size_t close = xmp.find("?>", end);
        if (close != std::string::npos)
            xmp.resize(close + 2);
        return;
    }
    const size_t last = xmp.find_last_not_of(" \t\r\n");
    xmp.resize(last == std::string::npos ? 0 : last + 1);
}

// Sets a simple property of an XMP packet's text wherever it is written, as
// an attribute (name="6") or as an element (<name>6</name>).
void setXmpValue(std::string& xmp, const std::string& name, int value) {
    const std::string text = std::to_string(value);
    for (size_t at = xmp.find(name); at != std::string::npos; at = xmp.find(name, at + 1)) {
        const size_t after = at + name.size();
        if (after + 1 >= xmp.size())
            break;
        if (at == 0)
            continue;
        const char before = xmp[at - 1];
        if (before == '<' && xmp[after] == '>') {
            const size_t end = xmp.find("</" + name + ">", after);
            if (end != std::string::npos)
                xmp.replace(after + 1, end - after - 1, text);
        } else if (std::isspace(static_cast<unsigned char>(before)) && xmp[after] == '=' &&
                   (xmp[after + 1] == '"' || xmp[after + 1] == '\'')) {
            const size_t end = xmp.find(xmp[after + 1], after + 2);
            if (end != std::string::npos)
                xmp.replace(after + 2, end - after - 2, text);
        }
    }
}

} // namespace

int MetadataCarrier::read(const std::string& path) {
    *this = MetadataCarrier();
    ExivFile file;
    const int rc = file.open(path);
    if (rc < 1)
        return rc;
    readFrom(file);
    return result::kSuccess;
}

void MetadataCarrier::readFrom(const ExivFile& file) {
    *this = MetadataCarrier();
    exivReady();
    Exiv2::Image* image = file.image();
    if (!image)
        return;
    try {
        exif_ = image->exifData();
        if (image->byteOrder() != Exiv2::invalidByteOrder)
            byteOrder_ = image->byteOrder();
        // The packet as stored where the codec read it, as for a JPEG's
        // segment: Exiv2 hands back its own rewriting of it.
        xmp_ = file.storedXmp().empty() ? image->xmpPacket() : file.storedXmp();
        if (xmp_.empty() && !image->xmpData().empty())
            Exiv2::XmpParser::encode(xmp_, image->xmpData());
        trimXmpPadding(xmp_);
        iptc_ = image->iptcData();
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* icc = image->iccProfile();
            if (icc && icc->size_ > 0)
                icc_.assign(icc->pData_, icc->pData_ + icc->size_);
        }
        if (image->mimeType() == "image/jpeg" && file.fd() >= 0)
            readJpegSegments(file.fd());
    } catch (const std::exception&) {
        // What was read stays.
    }
}

void MetadataCarrier::readJpegSegments(int fd) {
    jpegcodec::ChromaSampling s;
    std::vector<jpegcodec::Segment> segments;
    if (jpegcodec::readSampling(fd, s, {JPEG_APP0 + 1, JPEG_APP0 + 13}, segments) >= 1)
        sampling_ = s;
    const auto startsWith = [](const std::vector<uint8_t>& data, const char* header, size_t n) {
        return data.size() >= n && std::memcmp(data.data(), header, n) == 0;
    };
    for (const jpegcodec::Segment& segment : segments) {
        if (segment.marker == JPEG_APP0 + 13 &&
            startsWith(segment.data, kPhotoshopHeader, sizeof kPhotoshopHeader)) {
            // Photoshop's other resources stay beside the IPTC record.
            photoshop_.insert(photoshop_.end(), segment.data.begin() + sizeof kPhotoshopHeader,
                              segment.data.end());
        } else if (segment.marker == JPEG_APP0 + 1 &&
                   startsWith(segment.data, kXmpHeader, sizeof kXmpHeader)) {
            // The packet as written: Exiv2 hands back its own rewriting of it.
            xmp_.assign(segment.data.begin() + sizeof kXmpHeader, segment.data.end());
            trimXmpPadding(xmp_);
        } else if (segment.marker == JPEG_APP0 + 1 &&
                   startsWith(segment.data, kExtendedXmpHeader, sizeof kExtendedXmpHeader)) {
            // The rest of a packet too large for one segment, in pieces the
            // packet names by their digest: kept as they are.
            extendedXmp_.push_back(segment.data);
        }
    }
}

bool MetadataCarrier::empty() const {
    return exif_.empty() && xmp_.empty() && iptc_.empty() && icc_.empty() && photoshop_.empty();
}

std::vector<uint8_t> MetadataCarrier::photoshopResources() const {
    if (iptc_.empty() && photoshop_.empty())
        return {};
    const Exiv2::DataBuf irb = Exiv2::Photoshop::setIptcIrb(
        photoshop_.empty() ? nullptr : photoshop_.data(), long(photoshop_.size()), iptc_);
    if (irb.size_ <= 0)
        return photoshop_;
    return std::vector<uint8_t>(irb.pData_, irb.pData_ + irb.size_);
}

void MetadataCarrier::setTag(const std::string& key, const Exiv2::Value& value) {
    exivReady();
    try {
        const Exiv2::ExifKey k(key);
        eraseKey(overrides_, key.c_str());
        overrides_.add(k, &value);
    } catch (const std::exception&) {
        // Not an EXIF key: nothing to write.
    }
}

jpegcodec::ChromaSampling MetadataCarrier::samplingFor(int quality) const {
    return sampling_.value_or(jpegcodec::samplingForQuality(quality));
}

Exiv2::ExifData MetadataCarrier::exifFor(int width, int height, Use use) const {
    Exiv2::ExifData exif = exif_;
    for (const char* key : kStorageTags)
        eraseKey(exif, key);
    // Other pictures than the one written (a thumbnail, a TIFF's further
    // pages and reduced copies): made again or dropped.
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        const std::string group = it->groupName();
        if (group.rfind("SubImage", 0) == 0 || group == "Image2" || group == "Image3" ||
            group == "Thumbnail")
            it = exif.erase(it);
        else
            ++it;
    }
    if (use != Use::Tiff) {
        setSize(exif, "Exif.Image.ImageWidth", width);
        setSize(exif, "Exif.Image.ImageLength", height);
    } else {
        eraseKey(exif, "Exif.Image.ImageWidth");
        eraseKey(exif, "Exif.Image.ImageLength");
    }
    setSize(exif, "Exif.Photo.PixelXDimension", width);
    setSize(exif, "Exif.Photo.PixelYDimension", height);
    for (const Exiv2::Exifdatum& d : overrides_) {
        eraseKey(exif, d.key().c_str());
        exif.add(d);
    }
    if (orientation_) {
        const Exiv2::ExifKey key("Exif.Image.Orientation");
        const bool present = exif.findKey(key) != exif.end();
        if (present || *orientation_ != 1) {
            eraseKey(exif, "Exif.Image.Orientation");
            exif.add(key, exivvalue::shorts(*orientation_).get());
        }
    }
    if (software_) {
        eraseKey(exif, "Exif.Image.Software");
        exif.add(Exiv2::ExifKey("Exif.Image.Software"), exivvalue::ascii(*software_).get());
    }
    return exif;
}

std::string MetadataCarrier::xmpFor(int width, int height) const {
    // Edited in its text, so everything else in the packet stays as it came.
    std::string xmp = xmp_;
    setXmpValue(xmp, "tiff:ImageWidth", width);
    setXmpValue(xmp, "tiff:ImageLength", height);
    setXmpValue(xmp, "exif:PixelXDimension", width);
    setXmpValue(xmp, "exif:PixelYDimension", height);
    if (orientation_)
        setXmpValue(xmp, "tiff:Orientation", *orientation_);
    // Thumbnails of the source's picture, not of the written one.
    const size_t open = xmp.find("<xmp:Thumbnails>");
    const size_t close = xmp.find("</xmp:Thumbnails>");
    if (open != std::string::npos && close != std::string::npos && close > open)
        xmp.erase(open, close + std::strlen("</xmp:Thumbnails>") - open);
    return xmp;
}

std::string MetadataCarrier::wholeXmpFor(int width, int height) const {
    std::string xmp = xmpFor(width, height);
    if (extendedXmp_.empty())
        return xmp;
    // The pieces: a 32-character digest, the whole length and this piece's
    // offset (big-endian), then the bytes.
    constexpr size_t kHead = sizeof kExtendedXmpHeader + 32 + 8;
    std::string extended;
    for (const std::vector<uint8_t>& part : extendedXmp_) {
        if (part.size() <= kHead)
            continue;
        const uint8_t* p = part.data() + sizeof kExtendedXmpHeader + 32;
        const uint32_t total =
            uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        const uint32_t offset =
            uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
        const size_t n = part.size() - kHead;
        if (total > (16u << 20) || offset > total || n > total - offset)
            continue;
        extended.resize(total, ' ');
        extended.replace(offset, n, reinterpret_cast<const char*>(part.data() + kHead), n);
    }
    // Formats without the segment limit take its descriptions into the packet.
    const size_t open = extended.find("<rdf:RDF");
    const size_t openEnd = open == std::string::npos ? open : extended.find('>', open);
    const size_t close = extended.rfind("</rdf:RDF>");
    const size_t at = xmp.rfind("</rdf:RDF>");
    if (openEnd == std::string::npos || close == std::string::npos || close < openEnd ||
        at == std::string::npos)
        return xmp;
    xmp.insert(at, extended.substr(openEnd + 1, close - openEnd - 1));
    return xmp;
}

int MetadataCarrier::exifSegment(int width, int height, const Bitmap* thumbnailFrom,
                                 std::vector<uint8_t>& out) const {
    out.clear();
    if (exif_.empty() && overrides_.empty() && !software_ && !(orientation_ && *orientation_ != 1))
        return result::kSuccess;
    Exiv2::ExifData exif = exifFor(width, height, Use::Jpeg);
    if (thumbnailFrom && thumbnailFrom->isAllocated()) {
        const Bitmap small = thumbnailOf(*thumbnailFrom);
        std::vector<uint8_t> jpeg;
        if (small.isAllocated() &&
            jpegcodec::encode(small, kThumbnailQuality, jpegcodec::k420, {}, jpeg) >= 1)
            Exiv2::ExifThumb(exif).setJpegThumbnail(jpeg.data(), long(jpeg.size()),
                                                    Exiv2::URational(72, 1),
                                                    Exiv2::URational(72, 1), 2);
    }
    // Smaller each time: the thumbnail goes first, then what Exiv2 drops
    // from a block too large (previews, large unknown tags), then the
    // maker's note.
    for (int attempt = 0; attempt < 3; ++attempt) {
        Exiv2::Blob block;
        Exiv2::ExifParser::encode(block, byteOrder_, exif);
        if (sizeof kExifHeader + block.size() <= kSegmentData) {
            out.reserve(sizeof kExifHeader + block.size());
            append(out, kExifHeader, sizeof kExifHeader);
            append(out, block.data(), block.size());
            return result::kSuccess;
        }
        if (attempt == 0) {
            Exiv2::ExifThumb(exif).erase();
        } else {
            for (auto it = exif.begin(); it != exif.end();) {
                const std::string group = it->groupName();
                if (it->key() == "Exif.Photo.MakerNote" || Exiv2::ExifTags::isMakerGroup(group))
                    it = exif.erase(it);
                else
                    ++it;
            }
        }
    }
    return result::kTooLarge;
}

int MetadataCarrier::jpegSegments(int width, int height, const Bitmap* thumbnailFrom,
                                  std::vector<jpegcodec::Segment>& out) const {
    out.clear();
    exivReady();
    try {
        jpegcodec::Segment exif{JPEG_APP0 + 1, {}};
        int rc = exifSegment(width, height, thumbnailFrom, exif.data);
        if (rc < 1)
            return rc;
        if (!exif.data.empty())
            out.push_back(std::move(exif));

        std::string xmp = xmpFor(width, height);
        if (sizeof kXmpHeader + xmp.size() > kSegmentData) {
            Exiv2::XmpData data;
            std::string compact;
            if (Exiv2::XmpParser::decode(data, xmp) == 0 &&
                Exiv2::XmpParser::encode(compact, data,
                                         Exiv2::XmpParser::useCompactFormat |
                                             Exiv2::XmpParser::omitAllFormatting) == 0)
                xmp = compact;
            if (sizeof kXmpHeader + xmp.size() > kSegmentData)
                return result::kTooLarge;
        }
        if (!xmp.empty()) {
            jpegcodec::Segment s{JPEG_APP0 + 1, {}};
            append(s.data, kXmpHeader, sizeof kXmpHeader);
            append(s.data, xmp.data(), xmp.size());
            out.push_back(std::move(s));
            for (const std::vector<uint8_t>& part : extendedXmp_)
                out.push_back({JPEG_APP0 + 1, part});
        }

        // At most 255 chunks: a profile beyond 16 MB is not one.
        constexpr size_t kIccChunk = kSegmentData - sizeof kIccHeader - 2;
        const size_t chunks = (icc_.size() + kIccChunk - 1) / kIccChunk;
        if (chunks > 255)
            return result::kTooLarge;
        for (size_t i = 0; i < chunks; ++i) {
            jpegcodec::Segment s{JPEG_APP0 + 2, {}};
            const size_t at = i * kIccChunk;
            const size_t n = std::min(kIccChunk, icc_.size() - at);
            append(s.data, kIccHeader, sizeof kIccHeader);
            s.data.push_back(uint8_t(i + 1));
            s.data.push_back(uint8_t(chunks));
            append(s.data, icc_.data() + at, n);
            out.push_back(std::move(s));
        }

        const std::vector<uint8_t> irb = photoshopResources();
        if (!irb.empty()) {
            jpegcodec::Segment s{JPEG_APP0 + 13, {}};
            append(s.data, kPhotoshopHeader, sizeof kPhotoshopHeader);
            append(s.data, irb.data(), irb.size());
            if (s.data.size() > kSegmentData)
                return result::kTooLarge;
            out.push_back(std::move(s));
        }
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        out.clear();
        return result::kNoMemory;
    } catch (const std::exception&) {
        out.clear();
        return result::kCorruptData;
    }
}

int MetadataCarrier::encodeJpeg(const Bitmap& pixels, int quality, std::vector<uint8_t>& out,
                                std::optional<jpegcodec::ChromaSampling> sampling) const {
    out.clear();
    if (!pixels.isAllocated())
        return result::kNoBitmap;
    std::vector<jpegcodec::Segment> segments;
    const int rc = jpegSegments(pixels.width(), pixels.height(), &pixels, segments);
    if (rc < 1)
        return rc;
    return withoutThrowing([&] {
        return jpegcodec::encode(pixels, quality, sampling.value_or(samplingFor(quality)), segments,
                                 out);
    });
}

int MetadataCarrier::pngMetadata(const Bitmap& pixels, pngwriter::Metadata& out) const {
    out = pngwriter::Metadata();
    exivReady();
    try {
        if (!exif_.empty() || !overrides_.empty() || software_) {
            Exiv2::Blob block;
            Exiv2::ExifParser::encode(block, byteOrder_,
                                      exifFor(pixels.width(), pixels.height(), Use::Png));
            out.exif.assign(block.begin(), block.end());
        }
        out.xmp = wholeXmpFor(pixels.width(), pixels.height());
        out.icc = icc_;
        out.iptc = photoshopResources();
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    } catch (const std::exception&) {
        return result::kCorruptData;
    }
}

int MetadataCarrier::embedInTiff(const Bitmap& pixels, std::vector<uint8_t>& tiff) const {
    if (empty() && overrides_.empty() && !software_)
        return result::kSuccess;
    exivReady();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(tiff.data(), long(tiff.size()));
        if (!image.get())
            return result::kCorruptData;
        image->readMetadata();
        // The writer's own tags stay where the source has none.
        Exiv2::ExifData exif = image->exifData();
        for (const Exiv2::Exifdatum& d : exifFor(pixels.width(), pixels.height(), Use::Tiff)) {
            eraseKey(exif, d.key().c_str());
            exif.add(d);
        }
        image->setExifData(exif);
        if (!xmp_.empty()) {
            image->setXmpPacket(wholeXmpFor(pixels.width(), pixels.height()));
            // The packet is written as given, not from the parsed data.
            image->writeXmpFromPacket(true);
        }
        image->setIptcData(iptc_);
        if (!icc_.empty()) {
            Exiv2::DataBuf icc(icc_.data(), long(icc_.size()));
            image->setIccProfile(icc);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf all = io.read(long(io.size()));
        if (all.size_ <= 0)
            return result::kFileWrite;
        tiff.assign(all.pData_, all.pData_ + all.size_);
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    } catch (const std::exception&) {
        return result::kFileWrite;
    }
}

int MetadataCarrier::embeddedMetadata(const Bitmap& pixels, EmbeddedMetadata& out) const {
    out = EmbeddedMetadata();
    exivReady();
    try {
        if (!exif_.empty() || !overrides_.empty() || software_ ||
            (orientation_ && *orientation_ != 1)) {
            Exiv2::Blob block;
            Exiv2::ExifParser::encode(block, byteOrder_,
                                      exifFor(pixels.width(), pixels.height(), Use::Embedded));
            out.exif.assign(block.begin(), block.end());
        }
        out.xmp = wholeXmpFor(pixels.width(), pixels.height());
        out.icc = icc_;
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        out = EmbeddedMetadata();
        return result::kNoMemory;
    } catch (const std::exception&) {
        out = EmbeddedMetadata();
        return result::kCorruptData;
    }
}

} // namespace kamelo::imaging
