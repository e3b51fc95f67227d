// The viewer on a detailed 24-megapixel JPEG in Display P3 against the same
// JPEG without a profile: time to the first painted picture and to the
// whole picture on screen (the full decode painted in place of the smaller
// first one), medians of rounds that take turns, with the pixels converted
// for the screen on the way.
//   colour_viewer_bench [WORK_DIR]
#include "base/programmemory.h"
#include "base/uisettings.h"
#include "bench/benchsupport.h"
#include "imaging/colour/iccprofile.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "paintclock.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/screencolour.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using kamelo::bench::median;
using kamelo::bench::PaintClock;

namespace {

constexpr int kRounds = 15;

// The JPEG with the profile in one APP2 "ICC_PROFILE" segment after SOI.
bool writeTagged(const std::string& plain, const std::string& tagged,
                 const std::vector<uint8_t>& icc) {
    std::ifstream in(plain, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || icc.size() > 60000)
        return false;
    static const char kName[] = "ICC_PROFILE";
    const size_t length = 2 + sizeof(kName) + 2 + icc.size();
    std::vector<uint8_t> segment{0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)};
    segment.insert(segment.end(), kName, kName + sizeof(kName));
    segment.push_back(1); // chunk 1
    segment.push_back(1); // of 1
    segment.insert(segment.end(), icc.begin(), icc.end());
    bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
    std::ofstream out(tagged, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    kamelo::ProgramMemory::configure();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = std::string(argc > 1 ? argv[1] : "/tmp/kamelo-bench") + "/colour";
    std::filesystem::create_directories(dir);
    const std::string plain = dir + "/plain24.jpg", p3 = dir + "/p3-24.jpg";
    if (!std::filesystem::exists(plain) || !std::filesystem::exists(p3)) {
        const kamelo::imaging::Bitmap photo = kamelo::bench::photoLike(6000, 4000, 24);
        if (kamelo::imaging::PictureSaver::saveJpeg(photo, plain, 92) < 1 ||
            !writeTagged(plain, p3, kamelo::imaging::colour::IccProfile::displayP3()->bytes())) {
            std::fprintf(stderr, "could not write the pictures in %s\n", dir.c_str());
            return 1;
        }
    }
    kamelo::imaging::colour::ProfilePtr profile;
    if (kamelo::imaging::PictureFile::readProfile(p3, profile) < 1 || !profile) {
        std::fprintf(stderr, "%s carries no profile the reader finds\n", p3.c_str());
        return 1;
    }

    kamelo::CUiSettings settings;
    kamelo::setUiSettings(&settings);
    kamelo::CEyeDoc doc;
    doc.list().append(plain);
    doc.list().append(p3);

    std::array<std::vector<double>, 2> first, whole, converted;
    PaintClock paints;
    kamelo::CShowView view(doc);
    view.resize(1600, 1000);
    view.show();
    QCoreApplication::processEvents();
    view.installEventFilter(&paints);
    // One round of each first: the transform is built once per profile and
    // display, not per picture.
    for (int run = 0; run < 2 * (kRounds + 1); ++run) {
        const int index = run % 2;
        view.readAhead().release();
        const uint64_t convertedBefore = kamelo::screencolour::convertedPixels();
        paints.first = paints.last = -1;
        paints.clock.start();
        view.loadPicture(index);
        view.repaint();
        const double firstPaint = paints.first;
        // The full picture replaces the quick one.
        while (view.showsSmallerDecode())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        view.repaint();
        if (run < 2)
            continue;
        first[index].push_back(firstPaint);
        whole[index].push_back(paints.last);
        converted[index].push_back(
            double(kamelo::screencolour::convertedPixels() - convertedBefore));
    }
    view.removeEventFilter(&paints);

    std::array<double, 3> l{};
    getloadavg(l.data(), 3);
    std::printf("viewer, 24 MP JPEG in Display P3 against the same untagged, view 1600x1000, "
                "load average %.2f %.2f %.2f, medians of %d rounds\n",
                l[0], l[1], l[2], kRounds);
    const double f0 = median(first[0]), f1 = median(first[1]);
    const double w0 = median(whole[0]), w1 = median(whole[1]);
    std::printf("%-40s %.3f s\n", "untagged: first picture painted", f0);
    std::printf("%-40s %.3f s; ratio %.2f\n", "P3: first picture painted", f1, f1 / f0);
    std::printf("%-40s %.3f s\n", "untagged: whole picture on screen", w0);
    // Each P3 round against the untagged one just before it: a load that
    // drifts during the run weighs on both alike.
    std::vector<double> ratios;
    for (size_t i = 0; i < whole[1].size(); ++i)
        ratios.push_back(whole[1][i] / whole[0][i]);
    std::printf("%-40s %.3f s; ratio %.2f, median of round ratios %.2f (goal <= 1.15)\n",
                "P3: whole picture on screen", w1, w1 / w0, median(ratios));
    std::printf("%-40s %.2f MP (untagged %.2f MP)\n", "P3: pixels converted for the screen",
                median(converted[1]) / 1e6, median(converted[0]) / 1e6);
    kamelo::setUiSettings(nullptr);
    return 0;
}
