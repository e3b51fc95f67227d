#include "exivfile.h"

#include "core/filebytes.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/modern/webpmetadata.h"
#include "pictureformat.h"
#include "result.h"

#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace kamelo::imaging {

namespace {

std::mutex xmpMutex;

void lockXmp(void* mutex, bool lock) {
    if (lock)
        static_cast<std::mutex*>(mutex)->lock();
    else
        static_cast<std::mutex*>(mutex)->unlock();
}

// What the decoders give is RGB: a grey profile would not describe it.
bool describesRgb(const std::vector<uint8_t>& icc) {
    constexpr size_t kColourSpaceAt = 16;
    return icc.size() > kColourSpaceAt + 4 && std::memcmp(&icc[kColourSpaceAt], "RGB ", 4) == 0;
}

// The blocks HEIF, AVIF and JPEG XL keep in items and boxes, each read on
// its own so that one damaged block does not lose the others.
struct CodecBlocks {
    std::vector<uint8_t> exif;
    std::string xmp;
    std::vector<uint8_t> icc;
};

CodecBlocks blocksOf(ByteView view, PictureFormat format) {
    CodecBlocks b;
    if (format == PictureFormat::Jxl) {
        if (jxlcodec::readExif(view, b.exif) < 1)
            b.exif.clear();
        if (jxlcodec::readXmp(view, b.xmp) < 1)
            b.xmp.clear();
        if (jxlcodec::readIccProfile(view, b.icc) < 1)
            b.icc.clear();
    } else {
        if (heifcodec::readMetadata(view, b.exif, b.xmp) < 1)
            b.exif.clear(), b.xmp.clear();
        if (heifcodec::readIccProfile(view, b.icc) < 1)
            b.icc.clear();
    }
    if (!describesRgb(b.icc))
        b.icc.clear();
    return b;
}

// HEIF, AVIF and JPEG XL keep their EXIF and XMP in items and boxes the
// library does not reliably find (a grid picture's HEIF, any JPEG XL), and
// their colour profile where it does not look: the codecs hand over the
// blocks, held here by an image in memory of Exiv2's own metadata format.
// Null when the file cannot be read.
Exiv2::Image::AutoPtr fromCodecBlocks(const std::string& readable, PictureFormat format,
                                      std::string& storedXmp) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(readable, bytes) < 1)
        return Exiv2::Image::AutoPtr();
    CodecBlocks blocks = blocksOf(ByteView{bytes.data(), bytes.size()}, format);
    storedXmp = blocks.xmp;
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::exv);
    if (!blocks.exif.empty()) {
        try {
            Exiv2::ExifData data;
            const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(
                data, blocks.exif.data(), static_cast<uint32_t>(blocks.exif.size()));
            image->setByteOrder(order);
            image->setExifData(data);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            // A damaged block: the XMP packet may still be read.
        }
    }
    if (!blocks.xmp.empty()) {
        try {
            image->setXmpPacket(blocks.xmp); // parsed into its XMP data as well
        } catch (const std::exception&) {
            // A packet the toolkit cannot read: the EXIF stays.
        }
    }
    if (!blocks.icc.empty()) {
        try {
            Exiv2::DataBuf icc(blocks.icc.data(), static_cast<long>(blocks.icc.size()));
            // A profile whose own length disagrees with its block is damaged.
            image->setIccProfile(icc, true);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            // Left out: the pixels are then read as sRGB, as without one.
        }
    }
    return image;
}

// Exiv2 hands back its own rewriting of a WebP's XMP packet: the chunk is
// read as stored. Empty when it cannot be read.
std::string storedWebpXmp(const std::string& readable) {
    std::vector<uint8_t> bytes;
    std::string xmp;
    if (readWholeFile(readable, bytes) < 1 ||
        webpcodec::readXmp(ByteView{bytes.data(), bytes.size()}, xmp) < 1)
        return {};
    return xmp;
}

PictureFormat formatOf(int fd, const std::string& path) {
    uint8_t head[64];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    return n <= 0 ? PictureFormat::Unknown
                  : detectFormat(head, static_cast<size_t>(n), extensionOf(path));
}

} // namespace

void exivReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The library writes its warnings to stderr; results say enough here.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmp, &xmpMutex);
        // Canon's CR3 and the other ISO base media files are read only when
        // asked for.
        Exiv2::enableBMFF(true);
    });
}

ExivFile::~ExivFile() {
    image_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

int ExivFile::open(const std::string& path) {
    exivReady();
    image_.reset();
    storedXmp_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    int rc = openRegularFile(path, fd_);
    if (rc < 1)
        return rc;
    try {
        // The descriptor's name in /proc reopens the checked file itself,
        // not whatever the path names by now.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        const bool selfReadable = ::access(self.c_str(), R_OK) == 0;
        const PictureFormat format = formatOf(fd_, path);
        if (format == PictureFormat::Heif || format == PictureFormat::Avif ||
            format == PictureFormat::Jxl) {
            image_ = fromCodecBlocks(selfReadable ? self : path, format, storedXmp_);
            return image_.get() ? result::kSuccess : result::kCorruptData;
        }
        if (selfReadable) {
            image_ = Exiv2::ImageFactory::open(self);
        } else {
            std::vector<uint8_t> bytes;
            rc = readWholeFile(path, bytes);
            if (rc < 1)
                return rc;
            image_ = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        }
        if (!image_.get())
            return result::kCorruptData;
        image_->readMetadata();
        if (format == PictureFormat::WebP && !image_->xmpPacket().empty())
            storedXmp_ = storedWebpXmp(selfReadable ? self : path);
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        image_.reset();
        return result::kNoMemory;
    } catch (const std::exception&) {
        image_.reset();
        return result::kCorruptData;
    }
}

} // namespace kamelo::imaging
