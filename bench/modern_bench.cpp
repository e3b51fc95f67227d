// Today's photo formats against their own libraries' tools, side by side on
// the same files: decoding 12-megapixel HEIC, AVIF, WebP and JPEG XL
// pictures, thumbnails of 200 camera RAW files from their previews and of
// 200 phone HEIC files. Best of several runs, with the load average; the
// processor time (user and system, the tools' processes included) is given
// beside the wall time, as it says more on a machine others are using.
// The tools run as processes, so their times include start-up; ours are
// measured in-process and again as one process per decode.
//   modern_bench WORK_DIR TESTDATA_DIR KAMELO_CLI [decode|avif|webp|...,raw,heic]
#include "bench/dngpreview.h"
#include "benchsupport.h"
#include "imaging/core/filebytes.h"
#include "imaging/modern/avifcodec.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/picturefile.h"
#include "tests/support/dngwriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace kamelo::imaging;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

using kamelo::bench::quote;

namespace {

// Best wall and best processor time of several runs, in seconds.
struct Times {
    double wall = 1e30, cpu = 1e30;
};

double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total += double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

Times bestOf(int runs, const std::function<void()>& fn) {
    Times best;
    for (int i = 0; i < runs; ++i) {
        const double c0 = cpuSeconds();
        const auto t0 = Clock::now();
        fn();
        best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - t0).count());
        best.cpu = std::min(best.cpu, cpuSeconds() - c0);
    }
    return best;
}

bool shell(const std::string& cmd) {
    const bool ok = std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return ok;
}

Times command(int runs, const std::string& cmd) {
    return bestOf(runs, [&] { shell(cmd); });
}

void report(const char* what, Times ours, Times theirs, const std::string& tool) {
    std::printf("%-40s ours %7.3f s  %-34s %7.3f s  ratio %.2f  (cpu %.3f / %.3f s, ratio %.2f)\n",
                what, ours.wall, tool.c_str(), theirs.wall, ours.wall / theirs.wall, ours.cpu,
                theirs.cpu, ours.cpu / theirs.cpu);
}

std::string load() {
    std::array<double, 3> l{};
    getloadavg(l.data(), 3);
    char s[64];
    std::snprintf(s, sizeof s, "load average %.2f %.2f %.2f", l[0], l[1], l[2]);
    return s;
}

// Made once: the tools take a while on 12 and 24 megapixels.
bool make(const std::string& path, const std::string& cmd) {
    return fs::exists(path) || shell(cmd);
}

struct Decode {
    const char* what;
    std::string file;
    std::vector<std::pair<std::string, std::string>> tools; // name, command
};

void decodes(const std::vector<Decode>& list, const std::string& self) {
    const int runs = 5;
    std::printf("decoding 4000x3000 (12 MP) pictures, best of %d, %s\n", runs, load().c_str());
    for (const Decode& d : list) {
        Bitmap out;
        int rc = 0;
        const Times ours = bestOf(runs, [&] { rc = PictureFile::load(d.file, out); });
        if (rc < 1 || out.width() != 4000) {
            std::printf("%-40s not decoded (%d)\n", d.what, rc);
            continue;
        }
        const Times process = command(runs, self + " --decode " + quote(d.file));
        for (const auto& [name, cmd] : d.tools) {
            const Times theirs = command(runs, cmd);
            report(d.what, ours, theirs, name);
            report((std::string(d.what) + ", one process").c_str(), process, theirs, name);
        }
    }
}

// n names for one file: hard links, so the folder costs no disk and the
// page cache holds it once for every side.
std::string linkedFolder(const std::string& dir, const std::string& source, const char* ext, int n,
                         bool copies) {
    if (fs::is_directory(dir) && std::distance(fs::directory_iterator(dir), {}) == n)
        return dir;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < n; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/img%04d.%s", i, ext);
        if (copies)
            fs::copy_file(source, dir + name);
        else
            fs::create_hard_link(source, dir + name);
    }
    return dir;
}

std::string filesOf(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(quote(e.path().string()));
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& n : names)
        all += " " + n;
    return all;
}

// A copy of a DNG with a small JPEG thumbnail beside its preview, as the
// files of cameras and converters carry one (256 pixels wide): linked as
// the IFD after IFD0, its bytes at the end.
bool withThumbnail(const std::string& dng, const std::string& thumbJpeg, const std::string& out) {
    std::vector<uint8_t> b, jpeg;
    if (readWholeFile(dng, b) < 1 || readWholeFile(thumbJpeg, jpeg) < 1 || b.size() < 8 ||
        b[0] != 'I')
        return false;
    auto u16 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    const size_t ifd0 = u32(4);
    if (ifd0 + 2 > b.size())
        return false;
    const size_t next = ifd0 + 2 + 12 * u16(ifd0);
    if (next + 4 > b.size() || u32(next) != 0)
        return false;
    if (b.size() % 2)
        b.push_back(0);
    const size_t jpegAt = b.size();
    b.insert(b.end(), jpeg.begin(), jpeg.end());
    if (b.size() % 2)
        b.push_back(0);
    const size_t ifd1 = b.size();
    // NewSubfileType 1, Compression 6, JPEGInterchangeFormat and its length.
    const uint32_t entries[][3] = {{254, 4, 1}, {259, 3, 6}, {513, 4, 0}, {514, 4, 0}};
    b.resize(ifd1 + 2 + 12 * 4 + 4, 0);
    put(ifd1, 4, 2);
    for (size_t i = 0; i < 4; ++i) {
        const size_t e = ifd1 + 2 + 12 * i;
        put(e, entries[i][0], 2);
        put(e + 2, entries[i][1], 2);
        put(e + 4, 1, 4);
        const uint32_t value = i == 2   ? uint32_t(jpegAt)
                               : i == 3 ? uint32_t(jpeg.size())
                                        : entries[i][2];
        put(e + 8, value, entries[i][1] == 3 ? 2 : 4);
    }
    put(next, uint32_t(ifd1), 4);
    return writeFileAtomically(out, b.data(), b.size()) >= 1;
}

struct Thumbs {
    std::string out, cache, kamelo;
};

Thumbs thumbsSetUp(const std::string& work, const std::string& cli) {
    Thumbs t{work + "/thumbs-out", work + "/thumbs-cache",
             "QT_QPA_PLATFORM=offscreen " + quote(cli) + " --db " + quote(work + "/bench.sqlite") +
                 " thumbs "};
    fs::create_directories(t.out);
    return t;
}

void rawThumbnails(const std::string& work, const Thumbs& t, const std::string& dng,
                   const char* folder, const char* holding) {
    const int runs = 3;
    const std::string raws = linkedFolder(work + "/" + folder, dng, "dng", 200, false);
    std::printf("thumbnails of 200 DNG files (6000x4000 sensor, %s), best of %d, %s\n", holding,
                runs, load().c_str());
    const Times exiv2 = command(runs, "exiv2 -f -ep -l " + quote(t.out) + filesOf(raws));
    report("RAW previews, 1 thread",
           command(runs, t.kamelo + quote(raws) + " --jobs 1 --cache " + quote(t.cache)), exiv2,
           "exiv2 -ep (extract only)");
    report("RAW previews, 2 threads",
           command(runs, t.kamelo + quote(raws) + " --jobs 2 --cache " + quote(t.cache)), exiv2,
           "exiv2 -ep (extract only)");
    // The reader alone, in this process on one thread: the orientation and
    // the preview decoded as small as still covers a 100 x 66 box, what a
    // thumbnail cell asks of it.
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(raws))
        files.push_back(e.path().string());
    int failed = 0;
    const Times reader = bestOf(runs, [&] {
        for (const std::string& f : files) {
            Bitmap stamp;
            failed += rawcodec::readOrientation(f) < 1 ||
                      rawcodec::readStampCovering(f, 100, 66, stamp) < 1;
        }
    });
    report("RAW previews, reader only (in-process)", reader, exiv2, "exiv2 -ep (extract only)");
    if (failed)
        std::printf("  %d previews not read\n", failed);
}

void heicThumbnails(const std::string& work, const Thumbs& t, const std::string& heic) {
    const int runs = 3;
    // Copies, not links: phones' pictures are all different files.
    const std::string heics = linkedFolder(work + "/heic200", heic, "heic", 200, true);
    std::printf("thumbnails of 200 HEIC files (4000x3000, 320x240 thumbnail), best of %d, %s\n",
                runs, load().c_str());
    const std::string vips = "vipsthumbnail -s 120x100 -o " + quote(t.out + "/%s.jpg");
    const Times vipsOne = command(runs, "VIPS_CONCURRENCY=1 " + vips + filesOf(heics));
    // Both cores for vips: two processes of 100 files each.
    const Times vipsTwo = command(
        runs, "ls -d " + quote(heics) + "/*.heic | VIPS_CONCURRENCY=1 xargs -P 2 -n 100 " + vips);
    report("HEIC, 1 thread",
           command(runs, t.kamelo + quote(heics) + " --jobs 1 --cache " + quote(t.cache)), vipsOne,
           "vipsthumbnail (1 process)");
    report("HEIC, 2 threads",
           command(runs, t.kamelo + quote(heics) + " --jobs 2 --cache " + quote(t.cache)), vipsTwo,
           "vipsthumbnail (2 processes)");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--decode") {
        Bitmap b;
        return PictureFile::load(argv[2], b) >= 1 ? 0 : 1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: modern_bench WORK_DIR TESTDATA_DIR KAMELO_CLI "
                             "[decode|avif|webp|...,raw,heic]\n");
        return 2;
    }
    const std::string work = std::string(argv[1]) + "/modern", data = argv[2], cli = argv[3];
    // The parts to run, all when not named.
    const std::string parts = argc > 4 ? argv[4] : "decode,raw,heic";
    auto wanted = [&](const char* part) { return parts.find(part) != std::string::npos; };
    fs::create_directories(work);
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";

    // A camera photograph blown up to 12 and 24 megapixels with a little
    // grain, so the encoders see detail everywhere as in a real photo.
    const std::string photo = quote(data + "/camera/Canon_40D.jpg");
    const std::string src12 = work + "/src12.png", src24 = work + "/src24.jpg";
    const std::string preview = work + "/preview1616.jpg";
    const std::string heic = work + "/x.heic", avif = work + "/x.avif", webp = work + "/x.webp",
                      jxl = work + "/x.jxl", dng = work + "/x.dng";
    const bool ok =
        make(src12, "convert " + photo + " -resize 4000x3000! -attenuate 0.3 +noise Gaussian " +
                        quote(src12)) &&
        make(src24, "convert " + photo +
                        " -resize 6000x4000! -attenuate 0.3 +noise Gaussian "
                        "-quality 92 " +
                        quote(src24)) &&
        make(preview,
             "convert " + quote(src24) + " -resize 1616x1080! -quality 90 " + quote(preview)) &&
        make(heic, "heif-enc -q 75 -t 320 " + quote(src12) + " -o " + quote(heic)) &&
        make(avif, "avifenc -j 2 -s 8 --min 18 --max 28 " + quote(src12) + " " + quote(avif)) &&
        make(webp, "cwebp -q 80 " + quote(src12) + " -o " + quote(webp)) &&
        make(jxl, "cjxl -d 1 -e 3 " + quote(src12) + " " + quote(jxl)) &&
        (fs::exists(dng) || kamelo::bench::writeDngWithPreview(dng, 6000, 4000, preview));
    if (!ok) {
        std::fprintf(stderr, "could not make the pictures in %s\n", work.c_str());
        return 1;
    }

    const std::string y4m = quote(work + "/out.y4m");
    std::vector<Decode> list = {
        {"HEIC decode 12 MP",
         heic,
         {{"heif-convert (to .y4m)", "heif-convert " + quote(heic) + " " + y4m},
          {"vips copy x.heic x.v",
           "VIPS_CONCURRENCY=1 vips copy " + quote(heic) + " " + quote(work + "/out.v")}}},
        {"WebP decode 12 MP", webp, {{"dwebp (no output)", "dwebp " + quote(webp)}}},
        {"AVIF decode 12 MP",
         avif,
         {{"avifdec (to .y4m)", "avifdec " + quote(avif) + " " + y4m},
          {"heif-convert (to .y4m)", "heif-convert " + quote(avif) + " " + y4m}}},
        {"JPEG XL decode 12 MP", jxl, {{"djxl (no output)", "djxl " + quote(jxl)}}}};
    // "decode" names them all, "avif" (the format's first word) one of them.
    std::erase_if(list, [&](const Decode& d) {
        std::string format(d.what, std::strcspn(d.what, " "));
        for (char& c : format)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return !wanted("decode") && !wanted(format.c_str());
    });
    decodes(list, self);
    if (wanted("decode") || wanted("avif")) {
        // The same file through libheif, as AVIF was read before libavif.
        std::vector<uint8_t> bytes;
        Bitmap out;
        if (readWholeFile(avif, bytes) >= 1) {
            const ByteView view{bytes.data(), bytes.size()};
            const Times viaAvif = bestOf(5, [&] { avifcodec::decode(view, LoadOptions{}, out); });
            const Times viaHeif = bestOf(5, [&] { heifcodec::decode(view, LoadOptions{}, out); });
            report("AVIF decode 12 MP, libavif (in memory)", viaAvif, viaHeif,
                   "libheif (in memory)");
            FileInfo info;
            const Times infoAvif = bestOf(5, [&] {
                for (int i = 0; i < 2000; ++i)
                    avifcodec::readInfo(view, info);
            });
            const Times infoHeif = bestOf(5, [&] {
                for (int i = 0; i < 2000; ++i)
                    heifcodec::readInfo(view, info);
            });
            if (avifcodec::readInfo(view, info) >= 1 && info.width == 4000)
                report("AVIF header x2000, libavif (in memory)", infoAvif, infoHeif,
                       "libheif (in memory)");
            else
                std::printf("AVIF header not read by libavif\n");
        }
    }
    const Thumbs t = thumbsSetUp(work, cli);
    if (wanted("raw")) {
        rawThumbnails(work, t, dng, "raw200", "1616x1080 JPEG preview");
        const std::string thumb = work + "/thumb256.jpg", dngThumb = work + "/xt.dng";
        if (make(thumb,
                 "convert " + quote(preview) + " -resize 256x171! -quality 90 " + quote(thumb)) &&
            (fs::exists(dngThumb) || withThumbnail(dng, thumb, dngThumb)))
            rawThumbnails(work, t, dngThumb, "rawthumb200",
                          "1616x1080 JPEG preview and 256x171 JPEG thumbnail");
    }
    if (wanted("heic"))
        heicThumbnails(work, t, heic);
    return 0;
}
