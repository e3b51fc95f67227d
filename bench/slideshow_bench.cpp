// The slide show's speed.
// 1. Each of the eight scene changes at 1920x1080: frames per second and the
//    worst frame (compose + draw), against one full-frame QPainter::drawImage.
// 2. A 20-step slide show of 24-megapixel JPEGs at 2000 ms in a 1920x1080
//    view: tick to the first frame of the change, the worst gap between the
//    frames of a change, steps that had to wait for the read-ahead worker,
//    and the worker's decode against djpeg.
//   slideshow_bench WORK_DIR [CAMERA_DIR [effects]]  (effects: part 1 only)
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/bitmap.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/resize.h"
#include "imaging/transition.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"
#include "viewer/slideshow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using kamelo::imaging::Transition;
namespace fs = std::filesystem;

namespace {

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QImage busy(QSize size, int seed) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgb((x * 255 / size.width() + seed * 80) & 255,
                          (y * 255 / size.height()) & 255, ((x ^ y) + seed * 40) & 255);
    }
    return img;
}

void effects() {
    const QSize size(1920, 1080);
    const QImage from = busy(size, 0), to = busy(size, 1);
    QImage screen(size, QImage::Format_RGB32), frame;
    // The floor: one full-frame draw, as the view paints each frame.
    double floorMs = 1e9;
    for (int i = 0; i < 60; ++i) {
        const double t0 = nowMs();
        QPainter p(&screen);
        p.drawImage(0, 0, from);
        p.end();
        floorMs = std::min(floorMs, nowMs() - t0);
    }
    std::printf("floor: QPainter::drawImage 1920x1080  %.2f ms  %.0f frames/s\n", floorMs,
                1000.0 / floorMs);
    std::printf("%-8s %10s %12s %12s %10s\n", "effect", "frames/s", "worst ms", "vs floor", "goal");
    const std::vector<double> schedule = Transition::showSchedule();
    for (int i = 0; i < Transition::kEffectCount; ++i) {
        const Transition::Effect e = Transition::showEffect(Transition::effectNumber(i));
        double best = 1e9, worst = 0;
        for (int round = 0; round < 3; ++round) {
            const double start = nowMs();
            for (double progress : schedule) {
                const double t0 = nowMs();
                Transition::compose(e, progress, from, to, frame);
                QPainter p(&screen);
                p.drawImage(0, 0, frame);
                p.end();
                worst = std::max(worst, nowMs() - t0);
            }
            best = std::min(best, nowMs() - start);
        }
        const double fps = schedule.size() * 1000.0 / best;
        std::printf("%-8d %10.0f %12.2f %11.2fx  rate %s, worst %s\n", e.number, fps, worst,
                    fps / (1000.0 / floorMs), fps >= 50 ? "met" : "MISSED",
                    worst <= 20 ? "met" : "MISSED");
    }
}

// 24-megapixel JPEGs scaled up from the camera samples.
std::vector<std::string> makePictures(const std::string& work, const std::string& camera) {
    std::vector<std::string> out;
    fs::create_directories(work);
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(camera)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".jpg" || ext == ".jpeg" || ext == ".JPG")
            sources.push_back(entry.path());
    }
    std::sort(sources.begin(), sources.end());
    for (const fs::path& src : sources) {
        if (out.size() == 5)
            break;
        const std::string path = work + "/show" + std::to_string(out.size()) + ".jpg";
        if (!fs::exists(path)) {
            kamelo::imaging::Bitmap b, big;
            if (kamelo::imaging::PictureFile::load(src.string(), b) < 1 || b.width() < 64)
                continue;
            const bool wide = b.width() >= b.height();
            if (kamelo::imaging::Resize::scaled(b, wide ? 6000 : 4000, wide ? 4000 : 6000,
                                                kamelo::imaging::Resize::kResample, big) < 1 ||
                kamelo::imaging::PictureSaver::saveJpeg(big, path, 90) < 1)
                continue;
        }
        out.push_back(path);
    }
    return out;
}

double djpegMs(const std::string& path) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const double t0 = nowMs();
        const std::string cmd = "djpeg -outfile /dev/null '" + path + "'";
        if (std::system(cmd.c_str()) != 0)
            return -1;
        best = std::min(best, nowMs() - t0);
    }
    return best;
}

void workerDecode(const std::string& path) {
    const double reference = djpegMs(path);
    double plain = 1e9, fitted = 1e9;
    for (int i = 0; i < 3; ++i) {
        {
            kamelo::ReadAheadWorker worker;
            const double t0 = nowMs();
            worker.post(path);
            worker.waitReady(path, 60000);
            plain = std::min(plain, nowMs() - t0);
        }
        {
            kamelo::ReadAheadWorker worker;
            const double t0 = nowMs();
            worker.post(path, QSize(1920, 1080), Qt::gray);
            worker.waitReady(path, 60000);
            fitted = std::min(fitted, nowMs() - t0);
        }
    }
    std::printf("worker decode 24 MP: %.0f ms, djpeg %.0f ms, ratio %.2f (goal <= 1.15)\n", plain,
                reference, reference > 0 ? plain / reference : 0.0);
    std::printf("worker decode + fit to 1920x1080: %.0f ms (%.2f x djpeg)\n", fitted,
                reference > 0 ? fitted / reference : 0.0);
}

void show(const std::vector<std::string>& pictures, const std::string& work) {
    kamelo::SettingsStore store(work + "/bench.sqlite");
    store.setInt("Slide Show", "Delay Time", 2000);
    for (int i = 0; i < 8; ++i)
        store.setInt("Slide Show", "Effect " + std::to_string(i), 1);
    kamelo::CUiSettings settings;
    kamelo::setUiSettings(&settings);
    kamelo::setSettingsStore(&store);
    {
        kamelo::CEyeDoc doc;
        for (const std::string& p : pictures)
            doc.list().append(p);
        kamelo::CShowView view(doc);
        view.resize(1920, 1080);
        view.show();
        view.loadPicture(0);
        QApplication::processEvents();
        kamelo::SlideShow& s = view.slideShow();
        double lastFrame = 0, worstGap = 0, previousTick = 0;
        int changesSeen = 0;
        std::vector<double> latencies, intervals;
        const auto ms = [](std::chrono::steady_clock::time_point t) {
            return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
        };
        // The view takes the tick before anyone else and draws the first
        // frame inside it: the tick's time comes from the show itself.
        QObject::connect(&s, &kamelo::SlideShow::tick, [&] {
            const double tickAt = ms(s.tickedAt());
            if (previousTick > 0)
                intervals.push_back(tickAt - previousTick);
            previousTick = tickAt;
        });
        QObject::connect(&s, &kamelo::SlideShow::frameReady, [&] {
            const double t = nowMs();
            if (s.changesPlayed() != changesSeen) {
                changesSeen = s.changesPlayed();
                latencies.push_back(t - ms(s.tickedAt()));
            } else if (s.playing() && lastFrame > 0) {
                worstGap = std::max(worstGap, t - lastFrame);
            }
            lastFrame = s.playing() ? t : 0;
        });
        view.startSlideShow();
        const int steps = 20;
        while (s.changesPlayed() < steps)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        while (s.playing())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        view.stopSlideShow();
        std::sort(latencies.begin(), latencies.end());
        std::sort(intervals.begin(), intervals.end());
        std::printf("slide show, %d steps of 24 MP at 2000 ms in 1920x1080:\n", steps);
        std::printf("  tick to first frame: median %.1f ms, worst %.1f ms (goal < 16.7)\n",
                    latencies[latencies.size() / 2], latencies.back());
        std::printf("  tick interval: min %.0f ms, max %.0f ms\n", intervals.front(),
                    intervals.back());
        std::printf("  worst gap between frames of a change: %.1f ms (frame period %d ms)\n",
                    worstGap, s.framePeriod());
        std::printf("  ticks held behind a step or change: %d\n", s.heldTicks());
    }
    kamelo::setUiSettings(nullptr);
    kamelo::setSettingsStore(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string work = std::string(argc > 1 ? argv[1] : "/tmp/kamelo-bench") + "/slideshow";
    const std::string camera = argc > 2 ? argv[2] : "../shared/testdata/camera";
    effects();
    if (argc > 3 && std::string(argv[3]) == "effects")
        return 0;
    const std::vector<std::string> pictures = makePictures(work, camera);
    if (pictures.size() < 2) {
        std::fprintf(stderr, "no camera pictures in %s\n", camera.c_str());
        return 1;
    }
    workerDecode(pictures.front());
    show(pictures, work);
    return 0;
}
