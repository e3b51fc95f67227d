// The viewer on 24-megapixel JPEGs: first painted band and full picture
// against djpeg, next-picture latency with the read-ahead ready, and the
// memory the view holds with a picture read ahead.
//   viewer_bench WORK_DIR   (WORK_DIR/24mp.jpg is made by imaging_bench)
#include "base/programmemory.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/picturefile.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

long residentKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = 0;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    if (f)
        std::fclose(f);
    return kb;
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
    // as it arrives, timed to its first and its last paint.
    double firstBand = 1e9, full = 1e9, djpeg = 1e9;
    {
        struct PaintClock : QObject {
            QElapsedTimer clock;
            double first = -1, last = -1;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) {
                    last = clock.nsecsElapsed() / 1e9;
                    if (first < 0)
                        first = last;
                }
                return false;
            }
        } paints;
        kamelo::CShowView view(doc);
        view.resize(1600, 1000);
        view.show();
        QCoreApplication::processEvents();
        view.installEventFilter(&paints);
        for (int run = 0; run < 3; ++run) {
            view.readAhead().release();
            paints.first = paints.last = -1;
            paints.clock.start();
            view.loadPicture(run % 2);
            view.repaint(); // the whole picture, as the load's update asks
            firstBand = std::min(firstBand, paints.first);
            full = std::min(full, paints.last);
            djpeg = std::min(djpeg, seconds([&] {
                                 std::system(("djpeg -outfile /dev/null '" + a + "'").c_str());
                             }));
        }
        view.removeEventFilter(&paints);
    }
    std::printf("%-44s ours %.3f s, first band painted after %.3f s; djpeg %.3f s; ratio %.2f\n",
                "decode 24 MP while painting bands", full, firstBand, djpeg, full / djpeg);

    const long before = residentKb();
    double latency = 1e9;
    long held = 0;
    {
        kamelo::CShowView view(doc);
        view.resize(1600, 1000);
        view.show();
        QCoreApplication::processEvents();
        for (int run = 0; run < 3; ++run) {
            doc.list().setCurrent(0);
            view.loadPicture(0);
            view.readAhead().post(b);
            view.readAhead().waitReady(b, 20000);
            held = std::max(held, residentKb() - before);
            QElapsedTimer t;
            t.start();
            view.navigate(kamelo::CShowView::Step::Next);
            view.grab();
            latency = std::min(latency, t.nsecsElapsed() / 1e6);
            view.readAhead().release();
        }
    }
    const double pictureKb = 6000.0 * 4000 * 3 / 1024;
    std::printf("%-44s %.1f ms to a painted frame\n", "next picture with the read-ahead ready",
                latency);
    std::printf("%-44s %ld KB held, one picture %.0f KB, ratio %.2f\n",
                "viewer memory with a picture read ahead", held, pictureKb, held / pictureKb);
    kamelo::setUiSettings(nullptr);
    return 0;
}
