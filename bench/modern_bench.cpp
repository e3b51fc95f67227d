// Today's photo formats against their own libraries' tools, side by side on
// the same files: decoding 12-megapixel HEIC, AVIF, WebP and JPEG XL
// pictures, thumbnails of 200 camera RAW files from their previews and of
// 200 phone HEIC files. Best of several runs, with the load average.
// The tools run as processes, so their times include start-up; ours are
// measured in-process and again as one process per decode.
//   modern_bench WORK_DIR TESTDATA_DIR KAMELO_CLI
#include "bench/dngpreview.h"
#include "imaging/picturefile.h"
#include "tests/support/dngwriter.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

using namespace kamelo::imaging;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

double bestOf(int runs, const std::function<void()>& fn) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        fn();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

bool shell(const std::string& cmd) {
    const bool ok = std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return ok;
}

double command(int runs, const std::string& cmd) {
    return bestOf(runs, [&] { shell(cmd); });
}

void report(const char* what, double ours, double theirs, const std::string& tool) {
    std::printf("%-40s ours %7.3f s  %-34s %7.3f s  ratio %.2f\n", what, ours, tool.c_str(), theirs,
                ours / theirs);
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
        const double ours = bestOf(runs, [&] { rc = PictureFile::load(d.file, out); });
        if (rc < 1 || out.width() != 4000) {
            std::printf("%-40s not decoded (%d)\n", d.what, rc);
            continue;
        }
        const double process = command(runs, self + " --decode " + quote(d.file));
        for (const auto& [name, cmd] : d.tools) {
            const double theirs = command(runs, cmd);
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

void thumbnails(const std::string& work, const std::string& cli, const std::string& dng,
                const std::string& heic) {
    const int runs = 3;
    const std::string out = work + "/thumbs-out", cache = work + "/thumbs-cache";
    const std::string kamelo = "QT_QPA_PLATFORM=offscreen " + quote(cli) + " --db " +
                               quote(work + "/bench.sqlite") + " thumbs ";
    fs::create_directories(out);

    const std::string raws = linkedFolder(work + "/raw200", dng, "dng", 200, false);
    std::printf("thumbnails of 200 DNG files (6000x4000 sensor, 1616x1080 JPEG preview), "
                "best of %d, %s\n",
                runs, load().c_str());
    const double exiv2 = command(runs, "exiv2 -f -ep -l " + quote(out) + filesOf(raws));
    report("RAW previews, 1 thread",
           command(runs, kamelo + quote(raws) + " --jobs 1 --cache " + quote(cache)), exiv2,
           "exiv2 -ep (extract only)");
    report("RAW previews, 2 threads",
           command(runs, kamelo + quote(raws) + " --jobs 2 --cache " + quote(cache)), exiv2,
           "exiv2 -ep (extract only)");

    // Copies, not links: phones' pictures are all different files.
    const std::string heics = linkedFolder(work + "/heic200", heic, "heic", 200, true);
    std::printf("thumbnails of 200 HEIC files (4000x3000, 320x240 thumbnail), best of %d, %s\n",
                runs, load().c_str());
    const std::string vips = "vipsthumbnail -s 120x100 -o " + quote(out + "/%s.jpg");
    const double vipsOne = command(runs, "VIPS_CONCURRENCY=1 " + vips + filesOf(heics));
    // Both cores for vips: two processes of 100 files each.
    const double vipsTwo = command(
        runs, "ls -d " + quote(heics) + "/*.heic | VIPS_CONCURRENCY=1 xargs -P 2 -n 100 " + vips);
    report("HEIC, 1 thread",
           command(runs, kamelo + quote(heics) + " --jobs 1 --cache " + quote(cache)), vipsOne,
           "vipsthumbnail (1 process)");
    report("HEIC, 2 threads",
           command(runs, kamelo + quote(heics) + " --jobs 2 --cache " + quote(cache)), vipsTwo,
           "vipsthumbnail (2 processes)");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--decode") {
        Bitmap b;
        return PictureFile::load(argv[2], b) >= 1 ? 0 : 1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: modern_bench WORK_DIR TESTDATA_DIR KAMELO_CLI\n");
        return 2;
    }
    const std::string work = std::string(argv[1]) + "/modern", data = argv[2], cli = argv[3];
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
    decodes({{"HEIC decode 12 MP",
              heic,
              {{"heif-convert (to .y4m)", "heif-convert " + quote(heic) + " " + y4m},
               {"vips copy x.heic x.v",
                "VIPS_CONCURRENCY=1 vips copy " + quote(heic) + " " + quote(work + "/out.v")}}},
             {"WebP decode 12 MP", webp, {{"dwebp (no output)", "dwebp " + quote(webp)}}},
             {"AVIF decode 12 MP",
              avif,
              {{"avifdec (to .y4m)", "avifdec " + quote(avif) + " " + y4m},
               {"heif-convert (to .y4m)", "heif-convert " + quote(avif) + " " + y4m}}},
             {"JPEG XL decode 12 MP", jxl, {{"djxl (no output)", "djxl " + quote(jxl)}}}},
            self);
    thumbnails(work, cli, dng, heic);
    return 0;
}
