// The viewer on a gigapixel JPEG (40000 x 25000, made here a row at a time
// with a photograph's noise): time from the load to the fitted view, to a
// sharp screen at 100 % in the middle, and after panning a screen further,
// beside djpeg's decode of the same file at 1/8; the peak
// memory of the process; the load average.
//   largeview_bench [WORK_DIR] [--flat]   (the picture is kept there)
#include "imaging/large/jpegreader.h"
#include "imaging/large/largepicture.h"
#include "tests/support/streamedjpeg.h"
#include "viewer/eyedoc.h"
#include "viewer/largelevels.h"
#include "viewer/largetiles.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <jpeglib.h>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace kamelo;

namespace {

constexpr int kWidth = 40000;
constexpr int kHeight = 25000;

bool writeJpeg(const std::string& path, bool flat) {
    uint32_t seed = 12345;
    return test::writeStreamedJpeg(path, kWidth, kHeight, 90, [&](int y, uint8_t* row) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = flat ? 0 : int(seed >> 28) - 8;
            const auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[3 * x] = clamp(x * 255 / kWidth + noise);
            row[3 * x + 1] = clamp(y * 255 / kHeight + noise);
            row[3 * x + 2] = clamp(((x / 700) ^ (y / 500)) % 2 ? 200 + noise : 60 + noise);
        }
    });
}

double commandSeconds(const std::string& cmd) {
    QElapsedTimer t;
    t.start();
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void printLoad(const char* when) {
    double l[3] = {};
    getloadavg(l, 3);
    std::printf("load average %s: %.2f %.2f %.2f\n", when, l[0], l[1], l[2]);
}

// Seconds until the view's paint has every tile it needs (the ring around
// may still be on its way).
double untilSharp(CShowView& view, const QElapsedTimer& since) {
    const bool sharp = QTest::qWaitFor(
        [&] {
            view.repaint();
            return view.largeViewSharp();
        },
        600000);
    return sharp ? since.nsecsElapsed() / 1e9 : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string dir = "/tmp";
    bool flat = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--flat")
            flat = true;
        else
            dir = a;
    }
    const std::string path = dir + (flat ? "/largeview-1gp-flat.jpg" : "/largeview-1gp.jpg");
    printLoad("at start");
    if (!std::filesystem::exists(path)) {
        std::printf("writing %s (%d x %d)...\n", path.c_str(), kWidth, kHeight);
        if (!writeJpeg(path, flat)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("%s: %.0f MB, %d x %d\n", path.c_str(),
                double(std::filesystem::file_size(path)) / (1 << 20), kWidth, kHeight);
    const long rssBefore = peakRssMb();

    CEyeDoc doc;
    doc.list().append(path);
    CShowView view(doc);
    view.resize(1920, 1080);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 1;

    QElapsedTimer t;
    t.start();
    if (view.loadPicture(0) != CShowView::kLoaded || !view.showsLargePicture()) {
        std::fprintf(stderr, "not shown as a large picture\n");
        return 1;
    }
    if (!QTest::qWaitFor([&] { return !view.isLoading(); }, 600000) || !view.hasPicture()) {
        std::fprintf(stderr, "the fitted view did not come\n");
        return 1;
    }
    view.repaint();
    const double fitted = t.nsecsElapsed() / 1e9;

    t.restart();
    view.setZoomPercent(100);
    const double sharp = untilSharp(view, t);

    // Straight down a screen: the decoder of the rows above carries on.
    t.restart();
    const int carriedBefore = imaging::large::carriedOnDecodes();
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(960, 1000));
    QTest::mouseMove(&view, QPoint(960, 540));
    QTest::mouseMove(&view, QPoint(960, 10));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(960, 10));
    const double down = untilSharp(view, t);
    const int carried = imaging::large::carriedOnDecodes() - carriedBefore;

    t.restart();
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(1900, 1000));
    QTest::mouseMove(&view, QPoint(960, 540));
    QTest::mouseMove(&view, QPoint(10, 10));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(10, 10));
    const double panned = untilSharp(view, t);

    // The far corner: its rows are the last of the file.
    t.restart();
    view.setZoomMode(CShowView::kAutoFit);
    view.setZoomPercent(100);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(0, 0));
    QTest::mouseMove(&view, QPoint(-40000, -25000));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(-40000, -25000));
    const double corner = untilSharp(view, t);

    // The decode alone, as the view asks for it.
    QElapsedTimer decodeTimer;
    decodeTimer.start();
    imaging::Bitmap alone;
    const int rc =
        imaging::large::decodeScaled(path, largeview::fittedLevel(kWidth, kHeight), alone);
    const double decode = decodeTimer.nsecsElapsed() / 1e9;
    alone.free();
    const double djpeg8 = commandSeconds("djpeg -scale 1/8 -outfile /dev/null '" + path + "'");
    std::printf("fitted view (1/%d decode):     %.2f s   (djpeg -scale 1/8: %.2f s)\n",
                largeview::fittedLevel(kWidth, kHeight), fitted, djpeg8);
    std::printf("  its decode alone:           %.2f s (code %d)\n", decode, rc);
    std::printf("100 %% in the middle, sharp:  %.2f s\n", sharp);
    std::printf("down a screen, sharp:        %.2f s (%d regions carried on from above)\n", down,
                carried);
    std::printf("panned a screen, sharp:      %.2f s\n", panned);
    std::printf("bottom right corner, sharp:  %.2f s\n", corner);
    std::printf("tiles held: %.0f MB of %.0f MB\n",
                double(view.largeTiles().heldBytes()) / (1 << 20),
                double(view.largeTiles().budget()) / (1 << 20));
    std::printf("peak RSS: %ld MB (%ld MB before the view)\n", peakRssMb(), rssBefore);
    printLoad("at end");
    return 0;
}
