// The viewer on 24-megapixel JPEGs: first painted picture, whole picture at
// its shown size against djpeg and the full pixels painted, next-picture
// latency to the painted frame with the read-ahead ready, and the memory the
// view holds with a picture read ahead. Medians, with the load average.
//   viewer_bench WORK_DIR   (WORK_DIR/24mp.jpg is made by imaging_bench)
#include "base/programmemory.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "benchsupport.h"
#include "imaging/picturefile.h"
#include "paintclock.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using kamelo::bench::median;

namespace {

long residentKb() {
    return std::max(0L, kamelo::bench::statusKb("VmRSS:"));
}
constexpr int kRounds = 7;

std::array<double, 3> load() {
    std::array<double, 3> l{};
    getloadavg(l.data(), 3);
    return l;
}

double seconds(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    kamelo::ProgramMemory::configure();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : "/tmp/kamelo-bench";
    const std::string a = dir + "/24mp.jpg", b = dir + "/24mp-b.jpg";
    if (!std::filesystem::exists(a)) {
        std::fprintf(stderr, "%s is missing: run imaging_bench first\n", a.c_str());
        return 1;
    }
    std::filesystem::copy_file(a, b, std::filesystem::copy_options::overwrite_existing);

    kamelo::CUiSettings settings;
    kamelo::setUiSettings(&settings);
    kamelo::CEyeDoc doc;
    doc.list().append(a);
    doc.list().append(b);

    // The picture decoded band by band in a real view that paints each band
    // as it arrives (at the decode scale that covers its place), timed to its
    // first paint, to the whole picture at its shown size, and to the full
    // picture's pixels painted once the background decode has them.
    std::vector<double> firsts, wholes, sharps, djpegs, quarters;
    {
        kamelo::bench::PaintClock paints;
        kamelo::CShowView view(doc);
        view.resize(1600, 1000);
        view.show();
        QCoreApplication::processEvents();
        view.installEventFilter(&paints);
        for (int run = 0; run < kRounds; ++run) {
            view.readAhead().release();
            paints.first = paints.last = -1;
            paints.clock.start();
            view.loadPicture(run % 2);
            view.repaint(); // the whole picture, as the load's update asks
            firsts.push_back(paints.first);
            wholes.push_back(paints.last);
            while (view.showsSmallerDecode())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            view.repaint();
            sharps.push_back(paints.last);
            // The smaller first decode is compared with djpeg at its scale,
            // the full pixels with djpeg's full decode.
            djpegs.push_back(seconds([&] {
                std::system(("djpeg -outfile /dev/null " + kamelo::bench::quote(a)).c_str());
            }));
            quarters.push_back(seconds([&] {
                std::system(
                    ("djpeg -scale 1/4 -outfile /dev/null " + kamelo::bench::quote(a)).c_str());
            }));
        }
        view.removeEventFilter(&paints);
    }
    const double whole = median(wholes), sharp = median(sharps), dj = median(djpegs),
                 dq = median(quarters);
    std::printf("load average %.2f %.2f %.2f, medians of %d rounds\n", load()[0], load()[1],
                load()[2], kRounds);
    std::printf("%-44s %.3f s\n", "first painted picture", median(firsts));
    std::printf("%-44s %.3f s; djpeg -scale 1/4 %.3f s; ratio %.2f (djpeg full %.3f s: %.2f)\n",
                "whole picture painted (shown size, 1/4)", whole, dq, whole / dq, dj, whole / dj);
    std::printf("%-44s %.3f s; djpeg full %.3f s; ratio %.2f\n", "full picture's pixels painted",
                sharp, dj, sharp / dj);

    const long before = residentKb();
    std::vector<double> latencies;
    long held = 0;
    {
        kamelo::CShowView view(doc);
        view.resize(1600, 1000);
        view.show();
        QCoreApplication::processEvents();
        for (int run = 0; run < kRounds; ++run) {
            doc.list().setCurrent(0);
            view.loadPicture(0);
            while (view.showsSmallerDecode())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            // Read ahead as the view does after a step: scaled to its place.
            view.listChanged();
            view.readAhead().waitReady(b, 20000);
            held = std::max(held, residentKb() - before);
            QElapsedTimer t;
            t.start();
            view.navigate(kamelo::CShowView::Step::Next);
            view.repaint(); // the painted frame
            latencies.push_back(t.nsecsElapsed() / 1e6);
            view.readAhead().release();
        }
    }
    const double pictureKb = 6000.0 * 4000 * 3 / 1024;
    std::printf("%-44s %.1f ms to a painted frame (goal <= 16 ms), range %.1f-%.1f\n",
                "next picture with the read-ahead ready", median(latencies),
                *std::min_element(latencies.begin(), latencies.end()),
                *std::max_element(latencies.begin(), latencies.end()));
    std::printf("%-44s %ld KB held, one picture %.0f KB, ratio %.2f (limit 2.3)\n",
                "viewer memory with a picture read ahead", held, pictureKb, held / pictureKb);
    kamelo::setUiSettings(nullptr);
    return 0;
}
