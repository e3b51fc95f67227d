#include "largepictures.h"

#include "tests/support/streamedjpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace kamelo::test::large {

namespace {

std::string folder() {
    const std::string dir = ::testing::TempDir() + "/kamelo-large-v4-" + std::to_string(::getuid());
    std::filesystem::create_directories(dir);
    return dir;
}

uint32_t shifted(uint32_t rgb, int shift) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const int v = int((rgb >> (8 * c)) & 0xFF) - shift;
        out |= uint32_t(v < 0 ? 0 : v) << (8 * c);
    }
    return out;
}

// One row of RGB (or 2-bit palette indices, packed) of the quadrant picture.
void rgbRow(int y, int width, int height, uint32_t shift, uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        const uint32_t c = shifted(quadrantAt(x, y, width, height), int(shift));
        out[3 * x] = uint8_t(c >> 16);
        out[3 * x + 1] = uint8_t(c >> 8);
        out[3 * x + 2] = uint8_t(c);
    }
}

int quadrantIndex(int x, int y, int width, int height) {
    return (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
}

void writeJpeg(const std::string& path, int width, int height) {
    // Rows repeat within a quadrant: made once per half.
    const bool written = writeStreamedJpeg(path, width, height, 90, [&](int y, uint8_t* row) {
        if (y == 0 || y == height / 2)
            rgbRow(y, width, height, 0, row);
    });
    if (!written)
        throw std::runtime_error("cannot write " + path);
}

void writeJpeg(const std::string& path, JpegLayout layout, int width, int height) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    const bool grey = layout == JpegLayout::Grey, cmyk = layout == JpegLayout::Cmyk;
    c.input_components = grey ? 1 : cmyk ? 4 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (layout == JpegLayout::Progressive)
        jpeg_simple_progression(&c);
    // A scan's resolution, in dots per inch.
    c.density_unit = 1;
    c.X_density = c.Y_density = 300;
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(width) * size_t(c.input_components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int q = quadrantIndex(x, y, width, height);
            const uint32_t rgb = grey ? kQuadrantGreys[q] : kQuadrants[q];
            uint8_t* p = row.data() + size_t(x) * size_t(c.input_components);
            p[0] = uint8_t(rgb >> 16);
            if (grey)
                continue;
            p[1] = uint8_t(rgb >> 8);
            p[2] = uint8_t(rgb);
            // Adobe CMYK keeps ink inverted: no black is 255.
            if (cmyk)
                p[3] = 255;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

void writePng(const std::string& path, int width, int height, bool interlaced) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        throw std::runtime_error("libpng failed on " + path);
    png_init_io(png, f);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 2, PNG_COLOR_TYPE_PALETTE,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[4];
    for (int i = 0; i < 4; ++i)
        palette[i] = {uint8_t(kQuadrants[i] >> 16), uint8_t(kQuadrants[i] >> 8),
                      uint8_t(kQuadrants[i])};
    png_set_PLTE(png, info, palette, 4);
    png_write_info(png, info);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    std::vector<uint8_t> top((size_t(width) * 2 + 7) / 8), bottom(top.size());
    for (int x = 0; x < width; ++x) {
        const int shift = 6 - 2 * (x % 4);
        top[size_t(x / 4)] |= uint8_t(quadrantIndex(x, 0, width, height) << shift);
        bottom[size_t(x / 4)] |= uint8_t(quadrantIndex(x, height - 1, width, height) << shift);
    }
    for (int p = 0; p < passes; ++p)
        for (int y = 0; y < height; ++y)
            png_write_row(png, (y < height / 2 ? top : bottom).data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

struct TiffPage {
    int width = 0, height = 0;
    bool tiled = true;
    int depth = 8;             // bits a sample
    uint32_t rowsPerStrip = 0; // 0: one strip
    uint32_t shift = 0;
    bool reduced = false;
    bool withSubIfd = false;
};

void tiffPage(TIFF* t, const TiffPage& p) {
    const int width = p.width, height = p.height;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.depth);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_ZIPQUALITY, 1);
    if (p.reduced)
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    // The next directory written becomes this one's SubIFD.
    toff_t subIfd = 0;
    if (p.withSubIfd)
        TIFFSetField(t, TIFFTAG_SUBIFD, 1, &subIfd);
    // The two kinds of row, 8 or 16 bits a sample (v * 257 for 16).
    const size_t pixelBytes = size_t(3 * p.depth / 8);
    std::vector<uint8_t> rows[2];
    for (int half = 0; half < 2; ++half) {
        std::vector<uint8_t> rgb(size_t(width) * 3);
        rgbRow(half ? height - 1 : 0, width, height, p.shift, rgb.data());
        if (p.depth == 8) {
            rows[half] = std::move(rgb);
            continue;
        }
        rows[half].resize(rgb.size() * 2);
        for (size_t k = 0; k < rgb.size(); ++k) {
            const uint16_t v = uint16_t(rgb[k] * 257);
            std::memcpy(rows[half].data() + 2 * k, &v, 2);
        }
    }
    const auto rowAt = [&](int y) { return rows[y < height / 2 ? 0 : 1].data(); };
    if (p.tiled) {
        constexpr int kTile = 256;
        TIFFSetField(t, TIFFTAG_TILEWIDTH, kTile);
        TIFFSetField(t, TIFFTAG_TILELENGTH, kTile);
        std::vector<uint8_t> tile(size_t(kTile) * kTile * pixelBytes);
        for (int ty = 0; ty < height; ty += kTile)
            for (int tx = 0; tx < width; tx += kTile) {
                for (int i = 0; i < kTile; ++i) {
                    const int n = std::min(kTile, width - tx);
                    std::memcpy(tile.data() + size_t(i) * kTile * pixelBytes,
                                rowAt(std::min(ty + i, height - 1)) + size_t(tx) * pixelBytes,
                                size_t(n) * pixelBytes);
                }
                TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
            }
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip ? p.rowsPerStrip : uint32_t(height));
        for (int y = 0; y < height; ++y)
            TIFFWriteScanline(t, rowAt(y), uint32_t(y), 0);
    }
    TIFFWriteDirectory(t);
}

void writeTiff(const std::string& path, Sample kind, int width, int height) {
    // The tiled sample is a BigTIFF, as scans beyond 4 GB are.
    TIFF* t = TIFFOpen(path.c_str(), kind == Sample::TiffTiled ? "w8" : "w");
    if (!t)
        throw std::runtime_error("cannot write " + path);
    TiffPage page{width, height};
    page.tiled = kind != Sample::TiffStrip && kind != Sample::TiffStrips16;
    page.depth = kind == Sample::TiffTiled16 || kind == Sample::TiffStrips16 ? 16 : 8;
    page.rowsPerStrip = kind == Sample::TiffStrips16 ? 64 : 0;
    page.withSubIfd = kind == Sample::TiffSubIfd;
    tiffPage(t, page);
    if (kind == Sample::TiffPyramid || kind == Sample::TiffSubIfd) {
        TiffPage reduced{(width + 7) / 8, (height + 7) / 8};
        reduced.shift = kShift;
        reduced.reduced = kind == Sample::TiffPyramid;
        tiffPage(t, reduced);
    }
    TIFFClose(t);
}

const char* nameOf(Sample kind) {
    switch (kind) {
    case Sample::Jpeg:
        return "jpg";
    case Sample::Png:
        return "png";
    case Sample::PngInterlaced:
        return "adam7.png";
    case Sample::TiffTiled:
        return "tiled.tif";
    case Sample::TiffStrip:
        return "strip.tif";
    case Sample::TiffPyramid:
        return "pyramid.tif";
    case Sample::TiffSubIfd:
        return "subifd.tif";
    case Sample::TiffTiled16:
        return "tiled16.tif";
    case Sample::TiffStrips16:
        return "strips16.tif";
    }
    return "";
}

} // namespace

const char* label(Sample kind) {
    static const char* const names[] = {"Jpeg",       "Png",         "PngInterlaced",
                                        "TiffTiled",  "TiffStrip",   "TiffPyramid",
                                        "TiffSubIfd", "TiffTiled16", "TiffStrips16"};
    return names[int(kind)];
}

void PrintTo(Sample kind, std::ostream* os) {
    *os << label(kind);
}

uint32_t quadrantAt(int x, int y, int width, int height) {
    return kQuadrants[quadrantIndex(x, y, width, height)];
}

SampleFile sample(Sample kind, int width, int height) {
    SampleFile s{folder() + "/" + std::to_string(width) + "x" + std::to_string(height) + "." +
                     nameOf(kind),
                 width, height};
    if (std::filesystem::exists(s.path))
        return s;
    // Made beside and renamed: a test process cut short leaves no half file.
    const std::string part = s.path + ".part" + std::to_string(::getpid());
    switch (kind) {
    case Sample::Jpeg:
        writeJpeg(part, width, height);
        break;
    case Sample::Png:
    case Sample::PngInterlaced:
        writePng(part, width, height, kind == Sample::PngInterlaced);
        break;
    default:
        writeTiff(part, kind, width, height);
        break;
    }
    std::filesystem::rename(part, s.path);
    return s;
}

SampleFile jpegSample(JpegLayout layout, int width, int height) {
    static const char* const names[] = {"grey", "cmyk", "progressive"};
    SampleFile s{folder() + "/" + std::to_string(width) + "x" + std::to_string(height) + "." +
                     names[int(layout)] + ".jpg",
                 width, height};
    if (!std::filesystem::exists(s.path)) {
        const std::string part = s.path + ".part" + std::to_string(::getpid());
        writeJpeg(part, layout, width, height);
        std::filesystem::rename(part, s.path);
    }
    return s;
}

std::string tiffOriented(int orientation) {
    const std::string path = folder() + "/oriented-" + std::to_string(orientation) + ".tif";
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 64);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 64);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 64);
    std::vector<uint8_t> row(64, 128);
    for (uint32_t y = 0; y < 64; ++y)
        TIFFWriteScanline(t, row.data(), y, 0);
    TIFFClose(t);
    return path;
}

std::string cutCopy(const std::string& path, int keepPercent) {
    const std::string out = path + ".cut" + std::to_string(keepPercent);
    if (std::filesystem::exists(out))
        return out;
    const std::string part = out + ".part" + std::to_string(::getpid());
    std::filesystem::copy_file(path, part);
    std::filesystem::resize_file(part, std::filesystem::file_size(part) * keepPercent / 100);
    std::filesystem::rename(part, out);
    return out;
}

std::string jpegBomb(int width, int height) {
    // A real 16 x 16 JPEG whose frame header is then made to lie.
    const std::string path = folder() + "/bomb-" + std::to_string(width) + ".jpg";
    const SampleFile small = sample(Sample::Jpeg, 16, 16);
    std::FILE* f = std::fopen(small.path.c_str(), "rb");
    std::vector<uint8_t> b(4096);
    b.resize(std::fread(b.data(), 1, b.size(), f));
    std::fclose(f);
    for (size_t i = 0; i + 8 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xC0) {
            b[i + 5] = uint8_t(height >> 8);
            b[i + 6] = uint8_t(height);
            b[i + 7] = uint8_t(width >> 8);
            b[i + 8] = uint8_t(width);
            break;
        }
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

std::string pngBomb(int width, int height) {
    const std::string path = folder() + "/bomb-" + std::to_string(width) + ".png";
    const SampleFile small = sample(Sample::Png, 16, 16);
    std::FILE* f = std::fopen(small.path.c_str(), "rb");
    std::vector<uint8_t> b(4096);
    b.resize(std::fread(b.data(), 1, b.size(), f));
    std::fclose(f);
    // The IHDR's sizes, then its CRC made to match again.
    for (int i = 0; i < 4; ++i) {
        b[16 + size_t(i)] = uint8_t(uint32_t(width) >> (24 - 8 * i));
        b[20 + size_t(i)] = uint8_t(uint32_t(height) >> (24 - 8 * i));
    }
    const uLong crc = crc32(crc32(0, nullptr, 0), b.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        b[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

std::string tiffBomb(uint32_t width, uint32_t height) {
    const std::string path = folder() + "/bomb-" + std::to_string(width) + ".tif";
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
    const uint8_t data[16] = {};
    TIFFWriteRawStrip(t, 0, const_cast<uint8_t*>(data), sizeof data);
    TIFFWriteDirectory(t);
    TIFFClose(t);
    return path;
}

long peakGrowthKb(int (*step)(const std::string&), const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        long result[2] = {0, step(path)};
        ::getrusage(RUSAGE_SELF, &after);
        result[0] = after.ru_maxrss - before.ru_maxrss;
        (void)!::write(fds[1], result, sizeof result);
        ::_exit(0);
    }
    ::close(fds[1]);
    long result[2] = {-1, 0};
    const bool got = ::read(fds[0], result, sizeof result) == ssize_t(sizeof result);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return got && result[1] == 1 ? result[0] : -1;
}

} // namespace kamelo::test::large
