#include "imaging/large/tiffreader.h"

#include "imaging/core/filebytes.h"
#include "imaging/large/reducer.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace kamelo::imaging::large {

namespace {

struct File {
    int fd = -1;
    toff_t size = 0;
    toff_t pos = 0;
};

tsize_t readProc(thandle_t h, tdata_t buf, tsize_t size) {
    auto* f = static_cast<File*>(h);
    if (size <= 0 || f->pos >= f->size)
        return 0;
    const ssize_t n = ::pread(f->fd, buf, size_t(size), off_t(f->pos));
    if (n <= 0)
        return 0;
    f->pos += toff_t(n);
    return tsize_t(n);
}
tsize_t writeProc(thandle_t, tdata_t, tsize_t) {
    return -1;
}
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<File*>(h);
    const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->pos : f->size;
    f->pos = base + off;
    return f->pos;
}
int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<File*>(h)->size;
}
int mapProc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, tdata_t, toff_t) {}

struct Session {
    File file;
    TIFF* tif = nullptr;
    ~Session() {
        if (tif)
            TIFFClose(tif);
        if (file.fd >= 0)
            ::close(file.fd);
    }
    int open(const std::string& path) {
        static std::once_flag once;
        std::call_once(once, [] {
            TIFFSetErrorHandler(nullptr);
            TIFFSetWarningHandler(nullptr);
        });
        if (const int rc = openRegularFile(path, file.fd); rc != result::kSuccess)
            return rc;
        struct stat st {};
        if (::fstat(file.fd, &st) != 0)
            return result::kFileRead;
        file.size = toff_t(st.st_size);
        tif = TIFFClientOpen("large", "rm", &file, readProc, writeProc, seekProc, closeProc,
                             sizeProc, mapProc, unmapProc);
        return tif ? result::kSuccess : result::kCorruptData;
    }
};

struct Level {
    int width = 0, height = 0;
};

Level levelOf(TIFF* tif) {
    uint32_t w = 0, h = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h))
        return {};
    if (w > uint32_t(plausibility::kMaxSide) || h > uint32_t(plausibility::kMaxSide))
        return {};
    return {int(w), int(h)};
}

// Whether a level is the picture at a smaller scale that still covers the
// request: both sides shrunk alike (within a pixel's rounding), not a mask.
// A later page counts only when marked as a reduced copy; SubIFDs are
// reduced copies by nature.
bool covers(TIFF* tif, Level level, Level full, const Request& r, bool subIfd) {
    if (level.width <= 0 || level.width >= full.width)
        return false;
    uint32_t kind = 0;
    TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &kind);
    if ((kind & FILETYPE_MASK) || (!subIfd && !(kind & FILETYPE_REDUCEDIMAGE)))
        return false;
    const double fx = double(level.width) / full.width, fy = double(level.height) / full.height;
    if (std::abs(fx * full.height - level.height) > 1.5 ||
        std::abs(fy * full.width - level.width) > 1.5)
        return false;
    const Span xs = scaledSpan(r.region.x, r.region.width, full.width, level.width);
    const Span ys = scaledSpan(r.region.y, r.region.height, full.height, level.height);
    char message[1024];
    return xs.last - xs.first >= r.outWidth && ys.last - ys.first >= r.outHeight &&
           TIFFRGBAImageOK(tif, message);
}

// Moves to the smallest reduced copy that covers the request; stays on the
// first page when there is none. At most a few dozen directories are looked at.
int chooseLevel(TIFF* tif, Level full, const Request& r) {
    constexpr int kMaxLooked = 64;
    tdir_t bestPage = 0;
    toff_t bestSub = 0;
    int64_t bestPixels = int64_t(full.width) * full.height;
    std::vector<toff_t> subs;
    uint16_t count = 0;
    toff_t* offsets = nullptr;
    if (TIFFGetField(tif, TIFFTAG_SUBIFD, &count, &offsets) && offsets)
        subs.assign(offsets, offsets + std::min<int>(count, kMaxLooked));
    const auto consider = [&](tdir_t page, toff_t sub) {
        const Level l = levelOf(tif);
        if (covers(tif, l, full, r, sub != 0) && int64_t(l.width) * l.height < bestPixels) {
            bestPixels = int64_t(l.width) * l.height;
            bestPage = page;
            bestSub = sub;
        }
    };
    for (const toff_t sub : subs)
        if (TIFFSetSubDirectory(tif, sub))
            consider(0, sub);
    if (!TIFFSetDirectory(tif, 0))
        return result::kCorruptData;
    for (int page = 1; page < kMaxLooked && TIFFReadDirectory(tif); ++page)
        consider(tdir_t(page), 0);
    const bool moved =
        bestSub ? TIFFSetSubDirectory(tif, bestSub) : TIFFSetDirectory(tif, bestPage);
    return moved ? result::kSuccess : result::kCorruptData;
}

// Premultiplied RGBA from libtiff onto white, as blue-green-red.
void rgbaToBgr(const uint32_t* src, uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x, dst += 3) {
        const uint32_t p = src[x];
        const unsigned clear = 255 - TIFFGetA(p);
        dst[0] = static_cast<uint8_t>(std::min(255u, TIFFGetB(p) + clear));
        dst[1] = static_cast<uint8_t>(std::min(255u, TIFFGetG(p) + clear));
        dst[2] = static_cast<uint8_t>(std::min(255u, TIFFGetR(p) + clear));
    }
}

// 8-bit RGB or grey samples side by side, stored top-down, without alpha:
// read as they are stored, skipping libtiff's RGBA conversion (about a
// third of the time of a tiled scan).
bool plainLayout(TIFF* tif) {
    uint16_t bits = 1, spp = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
    uint16_t compression = COMPRESSION_NONE, orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    const bool layout = (photometric == PHOTOMETRIC_RGB && spp == 3) ||
                        (photometric == PHOTOMETRIC_MINISBLACK && spp == 1);
    return layout && bits == 8 && planar == PLANARCONFIG_CONTIG &&
           orientation == ORIENTATION_TOPLEFT && compression != COMPRESSION_JPEG &&
           compression != COMPRESSION_OJPEG;
}

void plainToBgr(const uint8_t* src, uint8_t* dst, int count, int spp) {
    if (spp == 1) {
        for (int x = 0; x < count; ++x, dst += 3)
            dst[0] = dst[1] = dst[2] = src[x];
        return;
    }
    for (int x = 0; x < count; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

struct Reader {
    TIFF* tif;
    Level level;
    Span xs, ys;
    RowReducer& reducer;
    std::vector<uint32_t> raster;
    std::vector<uint8_t> band;

    int regionWidth() const { return xs.last - xs.first; }
    int samplesPerPixel() const {
        uint16_t spp = 1;
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        return spp;
    }

    int tiles() {
        uint32_t tw = 0, th = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        if (tw == 0 || th == 0 || tw > 65536 || th > 65536)
            return result::kCorruptData;
        const size_t tilePixels = size_t(tw) * th;
        if (tilePixels * 4 + size_t(regionWidth()) * th * 3 > kWorkBudget)
            return result::kTooLarge;
        const bool plain = plainLayout(tif);
        const int spp = plain ? samplesPerPixel() : 0;
        if (plain && TIFFTileSize64(tif) != uint64_t(tilePixels) * uint64_t(spp))
            return result::kCorruptData;
        raster.resize(tilePixels);
        band.resize(size_t(regionWidth()) * th * 3);
        const int firstColumn = xs.first / int(tw);
        const int lastColumn = (xs.last - 1) / int(tw);
        for (int top = ys.first / int(th) * int(th); top < ys.last && !reducer.stopped();
             top += int(th)) {
            const int rows = std::min<int>(int(th), level.height - top);
            for (int c = firstColumn; c <= lastColumn; ++c) {
                const int left = c * int(tw);
                const int from = std::max(left, xs.first);
                const int to = std::min(left + int(tw), xs.last);
                if (plain) {
                    // Stored top-down at full tile size, in the raster's room.
                    auto* samples = reinterpret_cast<uint8_t*>(raster.data());
                    const tmsize_t size = tmsize_t(tilePixels) * spp;
                    const uint32_t tile = TIFFComputeTile(tif, uint32_t(left), uint32_t(top), 0, 0);
                    if (TIFFReadEncodedTile(tif, tile, samples, size) != size)
                        return result::kCorruptData;
                    for (int i = 0; i < rows; ++i)
                        plainToBgr(samples + (size_t(i) * tw + size_t(from - left)) * size_t(spp),
                                   band.data() +
                                       (size_t(i) * regionWidth() + size_t(from - xs.first)) * 3,
                                   to - from, spp);
                    continue;
                }
                if (!TIFFReadRGBATile(tif, uint32_t(left), uint32_t(top), raster.data()))
                    return result::kCorruptData;
                // The tile comes bottom-up, over its full height.
                for (int i = 0; i < rows; ++i)
                    rgbaToBgr(raster.data() + size_t(th - 1 - i) * tw + (from - left),
                              band.data() + (size_t(i) * regionWidth() + (from - xs.first)) * 3,
                              to - from);
            }
            for (int i = 0; i < rows; ++i)
                if (top + i >= ys.first && top + i < ys.last)
                    reducer.addRow(top + i - ys.first, band.data() + size_t(i) * regionWidth() * 3);
        }
        return result::kSuccess;
    }

    int strips() {
        uint32_t perStrip = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &perStrip);
        perStrip = std::clamp<uint32_t>(perStrip, 1, uint32_t(level.height));
        if (size_t(level.width) * perStrip * 4 > kWorkBudget / 2)
            return lines();
        raster.resize(size_t(level.width) * perStrip);
        band.resize(size_t(level.width) * 3);
        const bool plain = plainLayout(tif);
        const int spp = plain ? samplesPerPixel() : 0;
        for (int top = ys.first / int(perStrip) * int(perStrip);
             top < ys.last && !reducer.stopped(); top += int(perStrip)) {
            const int rows = std::min<int>(int(perStrip), level.height - top);
            if (plain) {
                auto* samples = reinterpret_cast<uint8_t*>(raster.data());
                const tmsize_t size = tmsize_t(level.width) * rows * spp;
                const uint32_t strip = TIFFComputeStrip(tif, uint32_t(top), 0);
                if (TIFFReadEncodedStrip(tif, strip, samples, size) != size)
                    return result::kCorruptData;
                for (int i = 0; i < rows; ++i) {
                    if (top + i < ys.first || top + i >= ys.last)
                        continue;
                    plainToBgr(samples + (size_t(i) * level.width + size_t(xs.first)) * size_t(spp),
                               band.data(), regionWidth(), spp);
                    reducer.addRow(top + i - ys.first, band.data());
                }
                continue;
            }
            if (!TIFFReadRGBAStrip(tif, uint32_t(top), raster.data()))
                return result::kCorruptData;
            for (int i = 0; i < rows; ++i) {
                if (top + i < ys.first || top + i >= ys.last)
                    continue;
                rgbaToBgr(raster.data() + size_t(rows - 1 - i) * level.width + xs.first,
                          band.data(), regionWidth());
                reducer.addRow(top + i - ys.first, band.data());
            }
        }
        return result::kSuccess;
    }

    // One strip too large for memory: plain 8-bit grey or RGB(A) samples
    // are read line by line.
    int lines() {
        uint16_t bits = 1, spp = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
        uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        const bool grey = photometric == PHOTOMETRIC_MINISBLACK && (spp == 1 || spp == 2);
        const bool rgb = photometric == PHOTOMETRIC_RGB && (spp == 3 || spp == 4);
        if (bits != 8 || planar != PLANARCONFIG_CONTIG || !(grey || rgb) ||
            compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG)
            return result::kUnsupported;
        const tmsize_t scanline = TIFFScanlineSize(tif);
        if (scanline < tmsize_t(level.width) * spp)
            return result::kCorruptData;
        std::vector<uint8_t> line(static_cast<size_t>(scanline));
        band.resize(size_t(regionWidth()) * 3);
        for (int y = 0; y < ys.last && !reducer.stopped(); ++y) {
            if (TIFFReadScanline(tif, line.data(), uint32_t(y), 0) < 0)
                return result::kCorruptData;
            if (y < ys.first)
                continue;
            const uint8_t* p = line.data() + size_t(xs.first) * spp;
            uint8_t* d = band.data();
            for (int x = 0; x < regionWidth(); ++x, p += spp, d += 3) {
                const bool alpha = spp == 2 || spp == 4;
                const unsigned a = alpha ? p[spp - 1] : 255;
                const uint8_t r = p[0], g = grey ? p[0] : p[1], b = grey ? p[0] : p[2];
                d[0] = alpha ? overWhite(b, a) : b;
                d[1] = alpha ? overWhite(g, a) : g;
                d[2] = alpha ? overWhite(r, a) : r;
            }
            reducer.addRow(y - ys.first, band.data());
        }
        return result::kSuccess;
    }
};

} // namespace

int tiffSize(const std::string& path, int& width, int& height) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    uint32_t w = 0, h = 0;
    if (!TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h))
        return result::kCorruptData;
    if (const int rc = plausibility::checkDeclared(w, h, 0, plausibility::kTiffPixelsPerByte);
        rc == result::kTooLarge)
        return rc;
    const Level l = levelOf(s.tif);
    if (l.width <= 0 || l.height <= 0)
        return result::kCorruptData;
    width = l.width;
    height = l.height;
    return result::kSuccess;
}

int decodeTiff(const std::string& path, const Request& request, Bitmap& out) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    uint32_t w = 0, h = 0;
    uint16_t compression = COMPRESSION_NONE, bits = 1, spp = 1;
    if (!TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h))
        return result::kCorruptData;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_COMPRESSION, &compression);
    if (const int rc = plausibility::checkTiff(w, h, compression, size_t(s.file.size));
        rc != result::kSuccess)
        return rc;
    const Level full{int(w), int(h)};
    if (!fits(request, full.width, full.height))
        return result::kInvalidParameter;
    if (const int rc = chooseLevel(s.tif, full, request); rc != result::kSuccess)
        return rc;
    const Level level = levelOf(s.tif);
    if (level.width <= 0)
        return result::kCorruptData;
    char message[1024];
    if (!TIFFRGBAImageOK(s.tif, message))
        return result::kUnsupported;
    // Strips and tiles are put in place as stored: rows kept in another
    // order (rare in scans) are left to the whole-picture decoder.
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_ORIENTATION, &orientation);
    if (orientation != ORIENTATION_TOPLEFT)
        return result::kUnsupported;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);

    RowReducer reducer;
    Reader reader{s.tif,
                  level,
                  scaledSpan(request.region.x, request.region.width, full.width, level.width),
                  scaledSpan(request.region.y, request.region.height, full.height, level.height),
                  reducer,
                  {},
                  {}};
    if (const int rc = reducer.start(reader.regionWidth(), reader.ys.last - reader.ys.first,
                                     request.outWidth, request.outHeight, out);
        rc != result::kSuccess)
        return rc;
    reducer.setWatch(request.watch);
    const int rc = TIFFIsTiled(s.tif) ? reader.tiles() : reader.strips();
    if (rc < 1)
        return rc;
    if (reducer.stopped())
        return result::kAborted;
    if (!reducer.done())
        return result::kCorruptData;
    reducer.finish();
    if (reducer.stopped())
        return result::kAborted;
    out.setSourceBitsPerPixel(bits * spp);
    float rx = 0, ry = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(s.tif, TIFFTAG_XRESOLUTION, &rx) &&
        TIFFGetField(s.tif, TIFFTAG_YRESOLUTION, &ry) && rx > 0 && ry > 0 && rx < 1e6 && ry < 1e6) {
        const double f = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        out.setResolution(static_cast<int>(rx * f + 0.5), static_cast<int>(ry * f + 0.5));
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::large
