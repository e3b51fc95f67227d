// The batch resize and rotate paths against reference tools, run side by
// side on the same file: JPEG read, the pixel work and the JPEG write with
// the camera information, as one file of a batch run does it. Ours are
// measured in-process (best of several runs); the tools run as processes,
// so their times include start-up. Missing tools are skipped.

#include "edit/batchrunner.h"
#include "edit/core/resizerule.h"
#include "edit/resizeops.h"
#include "edit/rotateops.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/jpegcodec.h"
#include "imaging/metadatacarrier.h"
#include "imaging/picturefile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace kamelo;
using namespace kamelo::edit;
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

bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

double command(int runs, const std::string& cmd) {
    return bestOf(runs, [&] {
        if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    });
}

void report(const char* what, double ours, const char* tool, double theirs) {
    std::printf("%-40s ours %7.0f ms  %-34s %7.0f ms  ratio %.2f\n", what, ours * 1000, tool,
                theirs * 1000, ours / theirs);
}

struct Silent : BatchEvents {
    OverwriteAnswer askOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
};

// One file through the batch run's path.
double runOnce(BatchJob job) {
    Silent events;
    std::atomic<bool> stop{false};
    BatchRunner runner(std::move(job));
    const auto t0 = Clock::now();
    const BatchSummary s = runner.run(events, stop);
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (s.written != 1)
        std::fprintf(stderr, "the run did not write its file\n");
    return t;
}

double psnr(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < a.width() * 3; ++i) {
            const double d = double(a.row(y)[i]) - double(b.row(y)[i]);
            sum += d * d;
        }
    const double mse = sum / (double(a.width()) * a.height() * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp/kamelo-bench";
    const char* data = std::getenv("KAMELO_TESTDATA");
    const std::string camera =
        std::string(data ? data : "../shared/testdata") + "/camera/Canon_40D.jpg";
    std::system(("mkdir -p " + dir + "/edit").c_str());
    const std::string jpg = dir + "/edit/24mp-exif.jpg";
    const int runs = 5;

    // A 6000 x 4000 photograph-like picture with a camera's EXIF block.
    imaging::Bitmap src;
    src.create(6000, 4000);
    for (int y = 0; y < src.height(); ++y) {
        uint8_t* row = src.row(y);
        for (int x = 0; x < src.width(); ++x) {
            row[x * 3] = static_cast<uint8_t>((x * 7 + y * 3) ^ (x >> 3));
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / src.height());
            row[x * 3 + 2] = static_cast<uint8_t>((x * y) >> 9);
        }
    }
    const JpegPropertyInfo props = JpegPropertyInfo::read(camera);
    if (props.size() == 0)
        std::fprintf(stderr, "no camera file at %s: the test picture has no EXIF\n",
                     camera.c_str());
    // Written 4:2:0 as cameras write, so that re-encodes keeping the
    // source's sampling compare like for like with the peers' defaults.
    std::vector<uint8_t> encoded;
    if (props.carrier().encodeJpeg(src, 90, encoded, imaging::jpegcodec::k420) < 1 ||
        imaging::writeFileAtomically(jpg, encoded.data(), encoded.size()) < 1) {
        std::fprintf(stderr, "cannot write %s\n", jpg.c_str());
        return 1;
    }

    // Resize: 6000 x 4000 to 1500 x 1000, bicubic, read and written.
    ResizeSettings quarter;
    quarter.percent = 25;
    BatchJob resize;
    resize.sources = {jpg};
    resize.mode = DestinationMode::Folder;
    resize.folder = dir + "/edit/resized";
    resize.upright = true;
    resize.step = ResizeOps::step(quarter);
    double ours = 1e30;
    for (int i = 0; i < runs; ++i)
        ours = std::min(ours, runOnce(resize));
    const std::string out = dir + "/edit/out.jpg";
    if (have("gm"))
        report("bicubic 24 MP -> 1500x1000, JPEG", ours, "gm convert -filter Catrom",
               command(runs, "gm convert " + jpg +
                                 " -filter Catrom -resize 1500x1000! -quality 96 " + out));
    if (have("vips"))
        report("bicubic 24 MP -> 1500x1000, JPEG", ours, "vips resize --kernel cubic",
               command(runs, "vips resize " + jpg + " " + out + "[Q=96] 0.25 --kernel cubic"));
    std::printf("%-40s ours %7.0f ms  (goal 250 ms)\n", "  alone", ours * 1000);

    // The scaled result against the full-size path, for any decoding shortcut.
    imaging::Bitmap full, viaRun;
    imaging::PictureFile::load(jpg, full);
    std::string reason;
    ResizeOps::apply(full, quarter, reason);
    imaging::PictureFile::load(resize.folder + "/24mp-exif.jpg", viaRun);
    imaging::Bitmap reference = full; // what the writer's JPEG gives of the full path
    // Written as the run writes it: quality 96, the source's 4:2:0.
    std::vector<uint8_t> refBytes;
    props.carrier().encodeJpeg(reference, 96, refBytes, imaging::jpegcodec::k420);
    imaging::writeFileAtomically(dir + "/edit/ref.jpg", refBytes.data(), refBytes.size());
    imaging::PictureFile::load(dir + "/edit/ref.jpg", reference);
    std::printf("%-40s %.1f dB against the full-size path\n", "  PSNR", psnr(viaRun, reference));

    // Quarter turn, re-encoded with the EXIF block.
    BatchJob rotate;
    const BatchOperation op = rotateBatchOperation();
    rotate.sources = {jpg};
    rotate.records = {std::any(RotateCode::Right)};
    rotate.mode = DestinationMode::Folder;
    rotate.folder = dir + "/edit/rotated";
    rotate.upright = true;
    rotate.uprightFor = op.uprightFor;
    rotate.step = op.step;
    ours = 1e30;
    for (int i = 0; i < runs; ++i)
        ours = std::min(ours, runOnce(rotate));
    if (have("gm"))
        report("quarter turn 24 MP JPEG with EXIF", ours, "gm convert -rotate 90",
               command(runs, "gm convert " + jpg + " -rotate 90 -quality 96 " + out));
    if (have("vips"))
        report("quarter turn 24 MP JPEG with EXIF", ours, "vips rot d90",
               command(runs, "vips rot " + jpg + " " + out + "[Q=96] d90"));
    if (have("jpegtran"))
        report("quarter turn 24 MP JPEG with EXIF", ours, "jpegtran -rotate 90 (lossless)",
               command(runs, "jpegtran -rotate 90 -copy all -outfile " + out + " " + jpg));
    std::printf("%-40s ours %7.0f ms  (goal 330 ms)\n", "  alone", ours * 1000);
    return 0;
}
