// Levels and sharpening of a 24-megapixel picture against GraphicsMagick,
// and one step of the colour tool's live preview. gm runs as a process on a
// BMP (cheap to read and write); its plain copy of the same file is timed
// too, so the operation's own share can be read off.

#include "edit/core/levelsadjuster.h"
#include "edit/levelspicture.h"
#include "imaging/colorops.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/sharpenops.h"

#include "bench/benchsupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <functional>
#include <string>

using namespace kamelo;
using Clock = std::chrono::steady_clock;

namespace {

using bench::photoLike;
constexpr auto bestOf = bench::bestMs;
constexpr auto command = bench::commandMs;

void line(const char* what, double ours, double gmOp, double gmCopy) {
    std::printf("%-28s ours %8.1f ms   gm %8.1f ms (copy alone %7.1f ms, op %7.1f ms)   "
                "ratio %.2f\n",
                what, ours, gmOp, gmCopy, gmOp - gmCopy, ours / std::max(1.0, gmOp - gmCopy));
}

} // namespace

int main(int argc, char** argv) {
    const std::string work = argc > 1 ? argv[1] : "/tmp/kamelo-bench";
    std::filesystem::create_directories(work);
    const int w = 6000, h = 4000;
    const imaging::Bitmap source = photoLike(w, h, 8);
    const std::string in = work + "/edit24mp.bmp";
    const std::string out = work + "/edit24mp-out.bmp";
    if (imaging::PictureSaver::save(source, in, imaging::saveformat::kBmp, 0) < 1) {
        std::fprintf(stderr, "cannot write %s\n", in.c_str());
        return 1;
    }
    const int runs = 5;
    const double gmCopy = command(runs, "gm convert " + in + " " + out);

    edit::LevelsAdjuster levels;
    levels.setLevelSet(0, {10, 1.0, 245, 0, 255});
    imaging::Bitmap target = source;
    const double oursLevels = bestOf(runs, [&] {
        imaging::ColorOps::mapTables(source, target, levels.table(1), levels.table(2),
                                     levels.table(3));
    });
    const double gmLevels = command(runs, "gm convert " + in + " -level 10,1.0,245 " + out);
    line("levels 10,1.0,245", oursLevels, gmLevels, gmCopy);
    // gm's table lookup is lost in the noise of its read and write, so the
    // whole file is timed as well: read, levels and write, ours in-process.
    imaging::Bitmap file, levelled;
    const double oursLevelsFile = bestOf(runs, [&] {
        imaging::PictureFile::load(in, file);
        imaging::ColorOps::mapTables(file, levelled, levels.table(1), levels.table(2),
                                     levels.table(3));
        imaging::PictureSaver::save(levelled, out, imaging::saveformat::kBmp, 0);
    });
    std::printf("%-28s ours %8.1f ms   gm %8.1f ms   ratio %.2f\n", "levels, BMP file to file",
                oursLevelsFile, gmLevels, oursLevelsFile / gmLevels);

    const double gmSharpen = command(3, "gm convert " + in + " -sharpen 0x1 " + out);
    const double oursSharpen = bestOf(3, [&] {
        target = source;
        imaging::SharpenOps::sharpen(target, 970);
    });
    line("sharpen (3x3, strength 970)", oursSharpen, gmSharpen, gmCopy);
    const double oursUnsharp = bestOf(3, [&] {
        target = source;
        imaging::SharpenOps::unsharpMask(target, 200, 1, 10);
    });
    line("unsharp 200,1,10", oursUnsharp,
         command(3, "gm convert " + in + " -unsharp 0x1+2+0.04 " + out), gmCopy);

    // The colour tool's step while a marker is dragged. Before: new tables
    // from the base into the whole shown picture on every step. Now: into a
    // copy at the size the picture is painted at (a 24 MP picture fitted to
    // a 1920 x 1080 view), the whole picture once when the marker is dropped.
    imaging::Bitmap shown = source;
    edit::LevelsPicture picture;
    picture.attach(&shown);
    int black = 0;
    const auto nextLevels = [&] {
        black = (black + 7) % 100;
        picture.levels().setLevelSet(0, {black, 1.3, 240, 0, 255});
    };
    const double fullStep = bestOf(10, [&] {
        nextLevels();
        picture.apply();
    });
    const auto t0 = Clock::now();
    nextLevels();
    picture.applyPreview(1920, 1080); // the first step shrinks the base once
    const double firstStep = std::chrono::duration<double>(Clock::now() - t0).count() * 1000;
    double worstStep = 0;
    const double shownStep = bestOf(20, [&] {
        const auto s0 = Clock::now();
        nextLevels();
        picture.applyPreview(1920, 1080);
        worstStep =
            std::max(worstStep, std::chrono::duration<double>(Clock::now() - s0).count() * 1000);
    });
    const double drop = bestOf(5, [&] {
        nextLevels();
        picture.applyPreview(1920, 1080);
        picture.finish();
    });
    std::printf("%-28s ours %8.1f ms   (the whole 24 MP picture on every step)\n",
                "colour step, full size", fullStep);
    std::printf("%-28s ours %8.1f ms   worst %.1f ms, first %.1f ms   (goal under 60 ms)\n",
                "colour step, shown size", shownStep, worstStep, firstStep);
    std::printf("%-28s ours %8.1f ms   (a step and the whole picture on release)\n",
                "colour drop, full levels", drop);
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return 0;
}
