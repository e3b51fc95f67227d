// Pictures of 300 megapixels to a gigapixel, opened fitted to a 1920 box:
// kamelo's streamed scaled decode against `vipsthumbnail -s 1920`, each in
// a child process so that its peak memory (ru_maxrss) is its own. The
// samples are written here row by row (tile by tile), never held whole.
//
//   gigapixel_bench <work folder> [runs]
#include "benchsupport.h"
#include "imaging/large/largepicture.h"
#include "tests/support/streamedjpeg.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A photograph-like row: gradients with a little noise, so the files
// compress like real pictures rather than flat cards.
void photoRow(int y, int width, int height, uint32_t& seed, uint8_t* rgb) {
    for (int x = 0; x < width; ++x, rgb += 3) {
        seed = seed * 1664525u + 1013904223u;
        const int n = int(seed >> 29) - 4;
        rgb[0] = uint8_t(std::clamp(40 + int(int64_t(x) * 150 / width) + n, 0, 255));
        rgb[1] = uint8_t(std::clamp(30 + int(int64_t(y) * 180 / height) + n, 0, 255));
        rgb[2] =
            uint8_t(std::clamp(20 + int((int64_t(x) + y) * 100 / (width + height)) + n, 0, 255));
    }
}

void writeJpeg(const std::string& path, int width, int height) {
    uint32_t seed = 1;
    kamelo::test::writeStreamedJpeg(path, width, height, 85, [&](int y, uint8_t* row) {
        photoRow(y, width, height, seed, row);
    });
}

void writePng(const std::string& path, int width, int height) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    png_init_io(png, f);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(width) * 3);
    uint32_t seed = 1;
    for (int y = 0; y < height; ++y) {
        photoRow(y, width, height, seed, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void writeTiledTiff(const std::string& path, int width, int height) {
    TIFF* t = TIFFOpen(path.c_str(), "w8");
    constexpr int kTile = 256;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_ZIPQUALITY, 3);
    TIFFSetField(t, TIFFTAG_TILEWIDTH, kTile);
    TIFFSetField(t, TIFFTAG_TILELENGTH, kTile);
    // One band of tile rows at a time: width x 256 pixels.
    std::vector<uint8_t> band(size_t(width) * kTile * 3), tile(size_t(kTile) * kTile * 3);
    uint32_t seed = 1;
    for (int ty = 0; ty < height; ty += kTile) {
        for (int i = 0; i < kTile; ++i)
            photoRow(std::min(ty + i, height - 1), width, height, seed,
                     band.data() + size_t(i) * width * 3);
        for (int tx = 0; tx < width; tx += kTile) {
            const int n = std::min(kTile, width - tx);
            for (int i = 0; i < kTile; ++i)
                std::memcpy(tile.data() + size_t(i) * kTile * 3,
                            band.data() + (size_t(i) * width + tx) * 3, size_t(n) * 3);
            TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
        }
    }
    TIFFClose(t);
}

struct Run {
    double ms = 0;
    long peakKb = 0;
    bool ok = false;
};

// Our decode in a child: its time and its peak memory.
Run ours(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const auto t0 = Clock::now();
        kamelo::imaging::Bitmap b;
        const int rc = kamelo::imaging::large::decodeFitted(path, 1920, 1920, b);
        Run r;
        r.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        r.peakKb = u.ru_maxrss;
        r.ok = rc == 1 && b.width() > 0;
        (void)!::write(fds[1], &r, sizeof r);
        ::_exit(0);
    }
    ::close(fds[1]);
    Run r;
    if (::read(fds[0], &r, sizeof r) != ssize_t(sizeof r))
        r.ok = false;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return r;
}

Run vips(const std::string& path, const std::string& out) {
    const auto t0 = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execlp("vipsthumbnail", "vipsthumbnail", "-s", "1920", path.c_str(), "-o", out.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    Run r;
    r.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    r.peakKb = u.ru_maxrss;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// The median time and the largest peak of several runs.
Run summary(int runs, const std::function<Run()>& one) {
    std::vector<double> times;
    Run s;
    s.ok = true;
    for (int i = 0; i < runs; ++i) {
        const Run r = one();
        s.ok = s.ok && r.ok;
        times.push_back(r.ms);
        s.peakKb = std::max(s.peakKb, r.peakKb);
    }
    s.ms = kamelo::bench::median(times);
    return s;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gigapixel_bench <work folder> [runs]\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/gigapixel";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::filesystem::create_directories(dir);
    struct Sample {
        const char* label;
        std::string file;
        int width, height;
        void (*write)(const std::string&, int, int);
    } samples[] = {
        {"JPEG 1 GP", dir + "/40000x25000.jpg", 40000, 25000, writeJpeg},
        {"PNG 300 MP", dir + "/20000x15000.png", 20000, 15000, writePng},
        {"TIFF 300 MP tiled", dir + "/20000x15000.tif", 20000, 15000, writeTiledTiff},
    };
    std::printf("fitted to a 1920 box, median of %d runs; load average %s\n", runs,
                loadAverage().c_str());
    std::printf("%-18s %10s %12s %12s %12s %12s %7s\n", "picture", "file MB", "kamelo ms",
                "kamelo MB", "vips ms", "vips MB", "ratio");
    for (const Sample& s : samples) {
        if (!std::filesystem::exists(s.file)) {
            const std::string part = s.file + ".part";
            s.write(part, s.width, s.height);
            std::filesystem::rename(part, s.file);
        }
        const Run k = summary(runs, [&] { return ours(s.file); });
        const Run v = summary(runs, [&] { return vips(s.file, dir + "/vips-out.jpg"); });
        std::printf("%-18s %10.1f %12.0f %12.1f %12.0f %12.1f %7.2f%s\n", s.label,
                    double(std::filesystem::file_size(s.file)) / 1e6, k.ms, k.peakKb / 1024.0, v.ms,
                    v.peakKb / 1024.0, v.ms > 0 ? k.ms / v.ms : 0,
                    k.ok && v.ok ? "" : "  (a run failed)");
        std::fflush(stdout);
    }
    std::printf("load average after: %s\n", loadAverage().c_str());
    return 0;
}
