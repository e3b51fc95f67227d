// Thumbnails of pictures with a Display P3 profile against the same pictures
// without one, made as the browser and kamelo-cli make them (the folder's
// loader on all cores, cells converted to sRGB); once decoded from the
// pictures and once from EXIF stamps.
//   colour_thumbs_bench [WORK_FOLDER] [COUNT]
#include "bench/benchsupport.h"
#include "browser/changeiconthread.h"
#include "browser/thumbfolder.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/colour/iccprofile.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturesaver.h"
#include "imaging/resize.h"

#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>

#include <filesystem>

using namespace kamelo;
namespace fs = std::filesystem;

namespace {

void put16(std::vector<uint8_t>& v, int x) {
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}

// A segment's bytes: marker, length, payload.
std::vector<uint8_t> segment(int marker, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> s = {0xFF, uint8_t(marker)};
    put16(s, int(payload.size()) + 2);
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}

// "Exif\0\0" and a big-endian TIFF block: IFD0 with the orientation, IFD1
// pointing at the stamp.
std::vector<uint8_t> exifWithStamp(const std::vector<uint8_t>& stamp) {
    std::vector<uint8_t> t = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8};
    auto put32 = [&](uint32_t x) {
        put16(t, int(x >> 16));
        put16(t, int(x & 0xFFFF));
    };
    auto entry = [&](int tag, int type, uint32_t value) {
        put16(t, tag);
        put16(t, type);
        put32(1);
        if (type == 3) {
            put16(t, int(value));
            put16(t, 0);
        } else {
            put32(value);
        }
    };
    const uint32_t ifd1 = 8 + 2 + 12 + 4, stampAt = ifd1 + 2 + 3 * 12 + 4;
    put16(t, 1);
    entry(0x0112, 3, 1);
    put32(ifd1);
    put16(t, 3);
    entry(0x0103, 3, 6);
    entry(0x0201, 4, stampAt);
    entry(0x0202, 4, uint32_t(stamp.size()));
    put32(0);
    t.insert(t.end(), stamp.begin(), stamp.end());
    return t;
}

std::vector<uint8_t> encoded(const imaging::Bitmap& b, const std::string& scratch) {
    std::vector<uint8_t> bytes;
    if (imaging::PictureSaver::saveJpeg(b, scratch, 90) < 1 ||
        imaging::readWholeFile(scratch, bytes) < 1)
        std::fprintf(stderr, "cannot write %s\n", scratch.c_str());
    return bytes;
}

// The JPEG with the segments put after its SOI (and its JFIF header).
std::vector<uint8_t> withSegments(const std::vector<uint8_t>& jpeg,
                                  const std::vector<std::vector<uint8_t>>& segments) {
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + long(at));
    for (const auto& s : segments)
        out.insert(out.end(), s.begin(), s.end());
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

std::vector<uint8_t> iccSegment(const std::vector<uint8_t>& icc) {
    std::vector<uint8_t> p = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    p.insert(p.end(), icc.begin(), icc.end());
    return segment(0xE2, p);
}

void writeFolder(const std::string& folder, int count, const std::vector<uint8_t>& bytes) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "/" + std::to_string(1000 + i) + ".jpg";
        imaging::writeFileAtomically(path, bytes.data(), bytes.size());
    }
}

// One folder's thumbnails, as the program's loader makes them.
double thumbnailMs(const std::string& folder, bool useStamp) {
    return bench::bestMs(3, [&] {
        ThumbFolder f(ThumbFolder::Options{});
        f.enumerate(folder);
        std::vector<CChangeIconThread::Item> items;
        for (size_t i = 0; i < f.records().size(); ++i)
            items.push_back({f.records()[i].fullPath, f.isPicture(int(i)), false});
        CChangeIconThread loader(std::move(items), f.recipe(useStamp), 1);
        QEventLoop loop;
        QObject::connect(
            &loader, &CChangeIconThread::thumbnailReady, &loop,
            [&](quint64, int index, const ThumbResult& r) { f.applyThumbnail(index, r); });
        QObject::connect(&loader, &QThread::finished, &loop, &QEventLoop::quit);
        loader.start();
        loop.exec();
    });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::string work =
        argc > 1 ? argv[1] : (QDir::tempPath() + "/kamelo-colour-thumbs").toStdString();
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    fs::remove_all(work);
    fs::create_directories(work);
    imaging::colour::DisplayColour::reset(); // managed, as the program starts

    const imaging::Bitmap picture = bench::photoLike(1600, 1200, 6);
    imaging::Bitmap small;
    imaging::Resize::scaled(picture, 160, 120, imaging::Resize::kBicubic, small);
    const std::vector<uint8_t> jpeg = encoded(picture, work + "/picture.jpg");
    const std::vector<uint8_t> stamp = encoded(small, work + "/stamp.jpg");
    const std::vector<uint8_t> icc = imaging::colour::IccProfile::displayP3()->bytes();
    const std::vector<uint8_t> exif = segment(0xE1, exifWithStamp(stamp));
    writeFolder(work + "/p3", count, withSegments(jpeg, {iccSegment(icc)}));
    writeFolder(work + "/plain", count, jpeg);
    writeFolder(work + "/p3-stamps", count, withSegments(jpeg, {exif, iccSegment(icc)}));
    writeFolder(work + "/plain-stamps", count, withSegments(jpeg, {exif}));

    std::printf("%d pictures of 1600 x 1200 per folder, %d decoding threads\n", count,
                CChangeIconThread::defaultJobs());
    for (const bool stamps : {false, true}) {
        const std::string suffix = stamps ? "-stamps" : "";
        thumbnailMs(work + "/plain" + suffix, stamps); // the files in the page cache
        const double plain = thumbnailMs(work + "/plain" + suffix, stamps);
        const double p3 = thumbnailMs(work + "/p3" + suffix, stamps);
        std::printf("%-9s untagged %8.1f ms   P3 %8.1f ms   ratio %.3fx (goal <= 1.1x)\n",
                    stamps ? "stamps" : "decoded", plain, p3, p3 / plain);
    }
    fs::remove_all(work);
    return 0;
}
