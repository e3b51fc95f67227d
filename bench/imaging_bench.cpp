// Imaging speed against reference tools, run side by side on the same files.
// Prints the best of several runs for each side and the ratio ours / theirs.
// The reference tools run as processes, so their times include start-up;
// ours are measured in-process and a matching process start is not added.

#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/resize.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
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

// Peak resident memory of a child that only decodes the file.
long decodePeakKb(const std::string& path) {
    pid_t pid = fork();
    if (pid == 0) {
        Bitmap b;
        _exit(PictureFile::load(path, b) >= 1 ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
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
    double theirs = command(runs, "djpeg -bmp -outfile /dev/null " + jpg);
    report("JPEG decode 24 MP", ours, theirs, "djpeg");

    LoadOptions eighth;
    eighth.scaleDenominator = 8;
    ours = bestOf(runs, [&] { PictureFile::load(jpg, decoded, eighth); });
    theirs = command(runs, "djpeg -scale 1/8 -bmp -outfile /dev/null " + jpg);
    report("JPEG decode 24 MP at 1/8", ours, theirs, "djpeg -scale 1/8");

    PictureFile::load(jpg, decoded);
    Bitmap small;
    ours = bestOf(3, [&] { Resize::scaled(decoded, 1500, 1000, Resize::kBicubic, small); });
    const double vipsTotal =
        command(3, "VIPS_CONCURRENCY=1 vips resize " + jpg + " " + dir + "/v.v 0.25 --kernel cubic");
    const double vipsLoad = command(3, "VIPS_CONCURRENCY=1 vips copy " + jpg + " " + dir + "/c.v");
    const double gmTotal =
        command(3, "gm convert " + jpg + " -filter Catrom -resize 1500x1000! " + dir + "/g.ppm");
    const double gmLoad = command(3, "gm convert " + jpg + " " + dir + "/g0.ppm");
    // The tools cannot resize without reading the file: their decode and
    // write (measured alone) are taken off.
    report("bicubic resize to 1/4", ours, std::max(1e-6, vipsTotal - vipsLoad), "vips resize (net)");
    report("bicubic resize to 1/4", ours, std::max(1e-6, gmTotal - gmLoad), "gm -filter Catrom (net)");

    Bitmap mid;
    Resize::scaled(decoded, 3000, 2000, Resize::kResample, mid);
    PictureSaver::save(mid, dir + "/mid.ppm.png", saveformat::kPng);
    ours = bestOf(3, [&] { PictureSaver::save(mid, dir + "/ours.png", saveformat::kPng); });
    PictureSaver::save(mid, dir + "/mid.tga", saveformat::kTga);
    const double gmPng = command(3, "gm convert " + dir + "/mid.tga " + dir + "/gm.png");
    const double gmTga = command(3, "gm convert " + dir + "/mid.tga " + dir + "/gm.ppm");
    report("PNG save 6 MP", ours, std::max(1e-6, gmPng - gmTga), "gm convert (net of read)");

    const long peakKb = decodePeakKb(jpg);
    const double bitmapKb = decoded.byteCount() / 1024.0;
    std::printf("%-44s peak %ld KB, bitmap %.0f KB, ratio %.2f (process baseline included)\n",
                "JPEG decode 24 MP memory", peakKb, bitmapKb, peakKb / bitmapKb);
    return 0;
}
