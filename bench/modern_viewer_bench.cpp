// The viewer on a 24-megapixel camera RAW (a DNG with a full-size JPEG
// preview, as many cameras write) against the same photograph as a
// 24-megapixel JPEG: time to the first painted picture, and for the RAW the
// time until its developed picture replaces the preview. Medians of rounds
// that take turns, with the load average.
//   modern_viewer_bench WORK_DIR   (WORK_DIR/modern/src24.jpg is made by modern_bench)
#include "base/programmemory.h"
#include "base/uisettings.h"
#include "bench/dngpreview.h"
#include "benchsupport.h"
#include "paintclock.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using kamelo::bench::median;
using kamelo::bench::PaintClock;

namespace {

constexpr int kRounds = 7;

} // namespace

int main(int argc, char** argv) {
    kamelo::ProgramMemory::configure();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = std::string(argc > 1 ? argv[1] : "/tmp/kamelo-bench") + "/modern";
    const std::string jpeg = dir + "/src24.jpg", raw = dir + "/x24.dng";
    if (!std::filesystem::exists(jpeg)) {
        std::fprintf(stderr, "%s is missing: run modern_bench first\n", jpeg.c_str());
        return 1;
    }
    if (!std::filesystem::exists(raw) &&
        !kamelo::bench::writeDngWithPreview(raw, 6000, 4000, jpeg)) {
        std::fprintf(stderr, "could not write %s\n", raw.c_str());
        return 1;
    }

    kamelo::CUiSettings settings;
    kamelo::setUiSettings(&settings);
    kamelo::CEyeDoc doc;
    doc.list().append(jpeg);
    doc.list().append(raw);

    std::vector<double> jpegFirst, rawFirst, jpegWhole, rawWhole, rawDeveloped;
    PaintClock paints;
    kamelo::CShowView view(doc);
    view.resize(1600, 1000);
    view.show();
    QCoreApplication::processEvents();
    view.installEventFilter(&paints);
    for (int run = 0; run < 2 * kRounds; ++run) {
        const int index = run % 2;
        view.readAhead().release();
        paints.first = paints.last = -1;
        paints.clock.start();
        view.loadPicture(index);
        view.repaint();
        (index == 0 ? jpegFirst : rawFirst).push_back(paints.first);
        (index == 0 ? jpegWhole : rawWhole).push_back(paints.last);
        // The full picture (the developed RAW) replaces the quick one.
        while (view.showsSmallerDecode())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        view.repaint();
        if (index == 1)
            rawDeveloped.push_back(paints.last);
    }
    view.removeEventFilter(&paints);

    std::array<double, 3> l{};
    getloadavg(l.data(), 3);
    const double j = median(jpegFirst), r = median(rawFirst);
    std::printf("viewer, 24 MP, load average %.2f %.2f %.2f, medians of %d rounds\n", l[0], l[1],
                l[2], kRounds);
    std::printf("%-44s %.3f s\n", "JPEG: first painted picture", j);
    std::printf("%-44s %.3f s; ratio to the JPEG %.2f (goal <= 1.2)\n", "RAW: preview painted", r,
                r / j);
    const double jw = median(jpegWhole), rw = median(rawWhole);
    std::printf("%-44s %.3f s\n", "JPEG: whole first picture painted", jw);
    std::printf("%-44s %.3f s; ratio to the JPEG %.2f\n", "RAW: whole preview painted", rw,
                rw / jw);
    std::printf("%-44s %.3f s\n", "RAW: developed picture painted", median(rawDeveloped));
    kamelo::setUiSettings(nullptr);
    return 0;
}
