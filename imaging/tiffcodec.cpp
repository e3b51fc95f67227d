#include "tiffcodec.h"

#include "bitmap.h"
#include "plausibility.h"
#include "result.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

namespace kamelo::imaging::tiffcodec {

namespace {

// The bytes in memory, or an open file read where libtiff asks (fd >= 0):
// a large file's directories are then read without the data around them.
struct MemoryFile {
    ByteView bytes;
    toff_t pos = 0;
    int fd = -1;
};

tsize_t readProc(thandle_t h, tdata_t buf, tsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->pos >= f->bytes.size)
        return 0;
    if (f->fd >= 0) {
        const ssize_t n = ::pread(f->fd, buf, size_t(size), off_t(f->pos));
        if (n <= 0)
            return 0;
        f->pos += toff_t(n);
        return tsize_t(n);
    }
    const tsize_t n =
        static_cast<tsize_t>(std::min<toff_t>(static_cast<toff_t>(size), f->bytes.size - f->pos));
    std::memcpy(buf, f->bytes.data + f->pos, static_cast<size_t>(n));
    f->pos += static_cast<toff_t>(n);
    return n;
}
tsize_t writeProc(thandle_t, tdata_t, tsize_t) {
    return -1;
}
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->pos : f->bytes.size;
    f->pos = base + off;
    return f->pos;
}
int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->bytes.size;
}
int mapProc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, tdata_t, toff_t) {}

void silenceLibtiff() {
    // libtiff reports to stderr by default; results carry the failure here.
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct Session {
    MemoryFile file;
    TIFF* tif = nullptr;
    explicit Session(ByteView bytes) {
        file.bytes = bytes;
        open();
    }
    // Takes the file over; only its size is in bytes.size.
    Session(int fd, size_t size) {
        file.fd = fd;
        file.bytes.size = size;
        open();
    }
    ~Session() {
        if (tif)
            TIFFClose(tif);
        if (file.fd >= 0)
            ::close(file.fd);
    }
    void open() {
        silenceLibtiff();
        tif = TIFFClientOpen("memory", "rm", &file, readProc, writeProc, seekProc, closeProc,
                             sizeProc, mapProc, unmapProc);
    }
};

const char* compressionName(uint16_t c) {
    switch (c) {
    case COMPRESSION_NONE:
        return "없음";
    case COMPRESSION_LZW:
        return "LZW";
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return "Deflate";
    case COMPRESSION_PACKBITS:
        return "PackBits";
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return "JPEG";
    case COMPRESSION_CCITTRLE:
        return "CCITT RLE";
    case COMPRESSION_CCITTFAX3:
        return "CCITT G3";
    case COMPRESSION_CCITTFAX4:
        return "CCITT G4";
    default:
        return "TIFF";
    }
}

void resolutionOf(TIFF* tif, int& x, int& y) {
    float rx = 0, ry = 0;
    uint16_t unit = RESUNIT_INCH;
    x = y = 96;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &rx) &&
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &ry) && rx > 0 && ry > 0 && rx < 1e6 && ry < 1e6) {
        const double f = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        x = static_cast<int>(rx * f + 0.5);
        y = static_cast<int>(ry * f + 0.5);
    }
}

} // namespace

namespace {

int readInfo(Session& s, FileInfo& fi) {
    if (!s.tif)
        return result::kCorruptData;
    uint32_t w = 0, h = 0;
    uint16_t bits = 1, spp = 1, comp = COMPRESSION_NONE;
    if (!TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h))
        return result::kCorruptData;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_COMPRESSION, &comp);
    fi.format = PictureFormat::Tiff;
    fi.width = static_cast<int>(w);
    fi.height = static_cast<int>(h);
    fi.bitsPerPixel = bits * spp;
    fi.compression = compressionName(comp);
    fi.pageCount = std::max<int>(1, TIFFNumberOfDirectories(s.tif));
    resolutionOf(s.tif, fi.xResolution, fi.yResolution);
    return fi.width > 0 && fi.height > 0 ? result::kSuccess : result::kCorruptData;
}

int openFile(const std::string& path, int& fd, size_t& size) {
    if (const int rc = openRegularFile(path, fd); rc != result::kSuccess)
        return rc;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return result::kFileRead;
    }
    size = static_cast<size_t>(st.st_size);
    return result::kSuccess;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    Session s(bytes);
    return readInfo(s, fi);
}

int readInfo(const std::string& path, FileInfo& fi) {
    int fd = -1;
    size_t size = 0;
    if (const int rc = openFile(path, fd, size); rc != result::kSuccess)
        return rc;
    Session s(fd, size);
    return readInfo(s, fi);
}

int readIccProfile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    int fd = -1;
    size_t size = 0;
    if (const int rc = openFile(path, fd, size); rc != result::kSuccess)
        return rc;
    Session s(fd, size);
    if (!s.tif)
        return result::kCorruptData;
    uint32_t count = 0;
    void* data = nullptr;
    // libtiff has read the tag whole already, bounded by the file's length.
    if (TIFFGetField(s.tif, TIFFTAG_ICCPROFILE, &count, &data) && data && count > 0)
        out.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + count);
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    Session s(bytes);
    if (!s.tif)
        return result::kCorruptData;
    if (options.page > 0 && !TIFFSetDirectory(s.tif, static_cast<tdir_t>(options.page)))
        return result::kInvalidParameter;
    uint32_t w = 0, h = 0;
    uint16_t bits = 1, spp = 1;
    if (!TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h))
        return result::kCorruptData;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_COMPRESSION, &compression);
    if (const int rc = plausibility::checkTiff(w, h, compression, bytes.size);
        rc != result::kSuccess)
        return rc;
    if (int64_t(w) * h > kMaxPixels)
        return result::kTooLarge;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    char emsg[1024];
    if (!TIFFRGBAImageOK(s.tif, emsg))
        return result::kUnsupported;

    std::vector<uint32_t> raster;
    try {
        raster.resize(static_cast<size_t>(w) * h);
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    }
    if (!TIFFReadRGBAImageOriented(s.tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0))
        return result::kCorruptData;
    int rc = out.create(static_cast<int>(w), static_cast<int>(h));
    if (rc != result::kSuccess)
        return rc;
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t* src = raster.data() + static_cast<size_t>(y) * w;
        uint8_t* dst = out.row(static_cast<int>(y));
        for (uint32_t x = 0; x < w; ++x, dst += 3) {
            const uint32_t p = src[x];
            // libtiff hands out premultiplied colour: white shows through 255 - a.
            const unsigned clear = 255 - TIFFGetA(p);
            dst[0] = static_cast<uint8_t>(std::min(255u, TIFFGetB(p) + clear));
            dst[1] = static_cast<uint8_t>(std::min(255u, TIFFGetG(p) + clear));
            dst[2] = static_cast<uint8_t>(std::min(255u, TIFFGetR(p) + clear));
        }
    }
    out.setSourceBitsPerPixel(bits * spp);
    int xr, yr;
    resolutionOf(s.tif, xr, yr);
    out.setResolution(xr, yr);
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::tiffcodec
