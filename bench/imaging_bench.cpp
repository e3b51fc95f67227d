// Imaging speed against reference tools, run side by side on the same files.
// Prints the best of several runs for each side and the ratio ours / theirs.
// The reference tools run as processes, so their times include start-up;
// ours are measured in-process and a matching process start is not added.

#include "bench/benchsupport.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/resize.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

using namespace kamelo::imaging;
using Clock = std::chrono::steady_clock;

namespace {

double bestOf(int runs, const std::function<void()>& fn) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        fn();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

double command(int runs, const std::string& cmd) {
    return bestOf(runs, [&] {
        if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    });
}

void report(const char* what, double ours, double theirs, const char* tool) {
    std::printf("%-44s ours %8.3f s  %-28s %8.3f s  ratio %.2f\n", what, ours, tool, theirs,
                ours / theirs);
}

// The high-water mark of this process's resident memory (reset by exec).
long ownPeakKb() {
    return std::max(0L, kamelo::bench::statusKb("VmHWM:"));
}
// Peak resident memory of a fresh run of this program that only decodes the
// file, or only starts when path is empty.
long childPeakKb(const std::string& path, const std::string& png = {}) {
    const std::string cmd = "/proc/" + std::to_string(getpid()) + "/exe " +
                            (path.empty()  ? std::string("--idle")
                             : png.empty() ? "--decode '" + path + "'"
                                           : "--png '" + path + "' '" + png + "'");
    FILE* p = popen(cmd.c_str(), "r");
    long kb = 0;
    if (p) {
        if (std::fscanf(p, "%ld", &kb) != 1)
            kb = 0;
        pclose(p);
    }
    return kb;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--idle") {
        std::printf("%ld\n", ownPeakKb());
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--decode") {
        Bitmap b;
        const auto t0 = Clock::now();
        const int rc = PictureFile::load(argv[2], b);
        if (std::getenv("KAMELO_BENCH_TIME"))
            std::fprintf(stderr, "%.1f ms\n",
                         std::chrono::duration<double>(Clock::now() - t0).count() * 1000);
        std::printf("%ld\n", ownPeakKb());
        return rc >= 1 ? 0 : 1;
    }
    if (argc > 3 && std::string(argv[1]) == "--png") {
        Bitmap b;
        int rc = PictureFile::load(argv[2], b);
        if (rc >= 1)
            rc = PictureSaver::save(b, argv[3], saveformat::kPng);
        std::printf("%ld\n", ownPeakKb());
        return rc >= 1 ? 0 : 1;
    }
    const std::string dir = argc > 1 ? argv[1] : "/tmp/kamelo-bench";
    std::system(("mkdir -p " + dir).c_str());
    const std::string jpg = dir + "/24mp.jpg";
    const int runs = 5;

    // A 6000 x 4000 photograph-like test picture (gradients and detail).
    Bitmap src;
    src.create(6000, 4000);
    for (int y = 0; y < src.height(); ++y) {
        uint8_t* row = src.row(y);
        for (int x = 0; x < src.width(); ++x) {
            row[x * 3] = static_cast<uint8_t>((x * 7 + y * 3) ^ (x >> 3));
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / src.height());
            row[x * 3 + 2] = static_cast<uint8_t>((x * y) >> 9);
        }
    }
    PictureSaver::saveJpeg(src, jpg, 90);
    Bitmap decoded;

    double ours = bestOf(runs, [&] { PictureFile::load(jpg, decoded); });
    double theirs = command(runs, "djpeg -outfile /dev/null " + jpg);
    report("JPEG decode 24 MP", ours, theirs, "djpeg");
    // The same decode in a fresh process, start-up and first touch of its
    // memory included, as djpeg pays them.
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    ours = command(runs, self + " --decode " + jpg);
    report("JPEG decode 24 MP, one process each", ours, theirs, "djpeg");

    LoadOptions eighth;
    eighth.scaleDenominator = 8;
    ours = bestOf(runs, [&] { PictureFile::load(jpg, decoded, eighth); });
    theirs = command(runs, "djpeg -scale 1/8 -outfile /dev/null " + jpg);
    report("JPEG decode 24 MP at 1/8", ours, theirs, "djpeg -scale 1/8");

    PictureFile::load(jpg, decoded);
    Bitmap small;
    ours = bestOf(3, [&] { Resize::scaled(decoded, 1500, 1000, Resize::kBicubic, small); });
    const double vipsTotal = command(3, "VIPS_CONCURRENCY=1 vips resize " + jpg + " " + dir +
                                            "/v.v 0.25 --kernel cubic");
    const double vipsLoad = command(3, "VIPS_CONCURRENCY=1 vips copy " + jpg + " " + dir + "/c.v");
    const double gmTotal =
        command(3, "gm convert " + jpg + " -filter Catrom -resize 1500x1000! " + dir + "/g.ppm");
    const double gmLoad = command(3, "gm convert " + jpg + " " + dir + "/g0.ppm");
    // The tools cannot resize without reading the file: their decode and
    // write (measured alone) are taken off.
    report("bicubic resize to 1/4", ours, std::max(1e-6, vipsTotal - vipsLoad),
           "vips resize (net)");
    report("bicubic resize to 1/4", ours, std::max(1e-6, gmTotal - gmLoad),
           "gm -filter Catrom (net)");

    Bitmap mid;
    Resize::scaled(decoded, 3000, 2000, Resize::kResample, mid);
    PictureSaver::save(mid, dir + "/mid.ppm.png", saveformat::kPng);
    ours = bestOf(3, [&] { PictureSaver::save(mid, dir + "/ours.png", saveformat::kPng); });
    PictureSaver::save(mid, dir + "/mid.tga", saveformat::kTga);
    const double gmPng = command(3, "gm convert " + dir + "/mid.tga " + dir + "/gm.png");
    const double gmTga = command(3, "gm convert " + dir + "/mid.tga " + dir + "/gm.ppm");
    report("PNG save 6 MP", ours, std::max(1e-6, gmPng - gmTga), "gm convert (net of read)");

    const long idleKb = childPeakKb({});
    const long peakKb = childPeakKb(jpg);
    const double bitmapKb = decoded.byteCount() / 1024.0;
    std::printf("%-44s peak %ld KB over a %ld KB idle process, bitmap %.0f KB, ratio %.2f\n",
                "JPEG decode 24 MP memory", peakKb - idleKb, idleKb, bitmapKb,
                (peakKb - idleKb) / bitmapKb);

    // The 24 MP picture as PNG: written band by band through the temporary
    // file, against vips writing every filter from its own format.
    PictureSaver::save(decoded, dir + "/full.png", saveformat::kPng);
    ours = bestOf(3, [&] { PictureSaver::save(decoded, dir + "/full.png", saveformat::kPng); });
    command(1, "vips copy " + jpg + " " + dir + "/full.v");
    const double vipsPng =
        command(3, "vips copy " + dir + "/full.v '" + dir + "/vips.png[filter=all]'");
    report("PNG save 24 MP", ours, vipsPng, "vips copy [filter=all]");
    const long pngKb = childPeakKb(jpg, dir + "/child.png");
    std::printf("%-44s peak %ld KB over a %ld KB idle process, bitmap %.0f KB, ratio %.2f "
                "(goal <= 1.3)\n",
                "PNG save 24 MP memory (with its decode)", pngKb - idleKb, idleKb, bitmapKb,
                (pngKb - idleKb) / bitmapKb);
    return 0;
}
