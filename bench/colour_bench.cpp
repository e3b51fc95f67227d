// Converting a 24-megapixel Display P3 picture to sRGB: ColourTransform on
// all cores and on one, against `vips icc_transform` on the same picture
// (from a P3-tagged TIFF, and from vips' own format to leave out the TIFF
// decode); the same from a profile made of lookup tables (as scanners and
// calibrated displays have); and decoding the picture as a JPEG with and
// without converting it. Medians of several rounds, with the load average.
//   colour_bench WORK_DIR [ROUNDS]
#include "bench/benchsupport.h"
#include "imaging/colour/colourtransform.h"
#include "imaging/picturefile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace kamelo::imaging;
using namespace kamelo::imaging::colour;
namespace fs = std::filesystem;

using kamelo::bench::median;
using kamelo::bench::quote;

namespace {

// Milliseconds of each round of fn, after prepare (not timed).
std::vector<double> rounds(int n, const std::function<void()>& prepare,
                           const std::function<void()>& fn) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        prepare();
        ms.push_back(kamelo::bench::bestMs(1, fn));
    }
    return ms;
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return bool(f);
}

// The picture as binary PPM (R, G, B).
bool writePpm(const std::string& path, const Bitmap& b) {
    std::string head =
        "P6\n" + std::to_string(b.width()) + " " + std::to_string(b.height()) + "\n255\n";
    std::vector<uint8_t> data(head.begin(), head.end());
    data.reserve(data.size() + size_t(b.width()) * b.height() * 3);
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* p = b.row(y);
        for (int x = 0; x < b.width(); ++x, p += 3)
            data.insert(data.end(), {p[2], p[1], p[0]});
    }
    return writeFile(path, data.data(), data.size());
}

bool shell(const std::string& cmd) {
    const bool ok = std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return ok;
}

std::string load() {
    std::array<double, 3> l{};
    getloadavg(l.data(), 3);
    char s[64];
    std::snprintf(s, sizeof s, "load average %.2f %.2f %.2f", l[0], l[1], l[2]);
    return s;
}

void report(const char* what, double ours, double theirs) {
    std::printf("%-44s ours %8.1f ms  vips %8.1f ms  ratio %.2f\n", what, ours, theirs,
                ours / theirs);
}

int sampleThrough(const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) {
    cmsDoTransform(transform, in, out, 1);
    return 1;
}

// Display P3 sampled into a 17x17x17 table to Lab, so that lcms2 reads it
// through its table rather than a matrix.
std::vector<uint8_t> tableProfile(const IccProfile& p3) {
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(p3.handle(), TYPE_RGB_16, lab, TYPE_Lab_16,
                                         INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigRgbData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* pipe = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(clut, sampleThrough, t, 0);
    cmsPipelineInsertStage(pipe, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(pipe, cmsAT_END, clut);
    cmsPipelineInsertStage(pipe, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, pipe);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipe);
    cmsDeleteTransform(t);
    cmsCloseProfile(lab);
    cmsUInt32Number size = 0;
    std::vector<uint8_t> bytes;
    if (cmsSaveProfileToMem(p, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(p, bytes.data(), &size);
    }
    cmsCloseProfile(p);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: colour_bench WORK_DIR [ROUNDS]\n");
        return 2;
    }
    const std::string work = std::string(argv[1]) + "/colour";
    const int n = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    fs::create_directories(work);

    const ProfilePtr p3 = IccProfile::displayP3();
    const ProfilePtr srgb = IccProfile::srgb();
    const TransformPtr t = ColourTransform::between(p3, nullptr, Intent::RelativeColorimetric);
    if (!p3 || !srgb || !t) {
        std::fprintf(stderr, "no transform from Display P3 to sRGB\n");
        return 1;
    }
    const Bitmap picture = kamelo::bench::photoLike(6000, 4000, 24);

    // The same picture for vips: a P3-tagged TIFF, and vips' own format.
    const std::string ppm = work + "/p3.ppm", p3icc = work + "/p3.icc",
                      srgbIcc = work + "/srgb.icc", tif = work + "/p3.tif", v = work + "/p3.v",
                      out = work + "/out.v", jpeg = work + "/p3.jpg";
    const bool made = writePpm(ppm, picture) &&
                      writeFile(p3icc, p3->bytes().data(), p3->bytes().size()) &&
                      writeFile(srgbIcc, srgb->bytes().data(), srgb->bytes().size()) &&
                      shell("convert " + quote(ppm) + " -profile " + quote(p3icc) +
                            " -compress none " + quote(tif)) &&
                      shell("vips copy " + quote(tif) + " " + quote(v)) &&
                      shell("convert " + quote(ppm) + " -profile " + quote(p3icc) +
                            " -quality 92 " + quote(jpeg));
    if (!made)
        return 1;

    std::printf("24 MP Display P3 -> sRGB, median of %d rounds, %s\n", n, load().c_str());
    Bitmap b;
    const auto fresh = [&] { b = picture; };
    const double all = median(rounds(n, fresh, [&] { t->apply(b); }));
    const double one = median(rounds(n, fresh, [&] { t->applyRows(b, 0, b.height()); }));
    const std::string vipsArgs =
        " " + quote(out) + " " + quote(srgbIcc) + " --embedded --intent relative";
    std::vector<double> fromTif, fromV;
    for (int i = 0; i < n; ++i) {
        fromTif.push_back(
            kamelo::bench::commandMs(1, "vips icc_transform " + quote(tif) + vipsArgs));
        fromV.push_back(kamelo::bench::commandMs(1, "vips icc_transform " + quote(v) + vipsArgs));
    }
    const double vipsTif = median(fromTif), vipsV = median(fromV);
    report("both cores vs vips from TIFF", all, vipsTif);
    report("both cores vs vips from .v", all, vipsV);
    report("one core vs vips from .v (all cores)", one, vipsV);
    std::printf("goal: both cores <= 1.00x vips\n");

    // The same picture described by a table profile.
    const std::vector<uint8_t> table = tableProfile(*p3);
    const std::string tableIcc = work + "/table.icc";
    const TransformPtr tt = ColourTransform::between(IccProfile::fromBytes(table), nullptr,
                                                     Intent::RelativeColorimetric);
    if (tt && writeFile(tableIcc, table.data(), table.size())) {
        const double ours = median(rounds(n, fresh, [&] { tt->apply(b); }));
        std::vector<double> theirs;
        for (int i = 0; i < n; ++i)
            theirs.push_back(kamelo::bench::commandMs(
                1, "vips icc_transform " + quote(v) + " " + quote(out) + " " + quote(srgbIcc) +
                       " --input-profile " + quote(tableIcc) + " --intent relative"));
        report("table profile, both cores vs vips from .v", ours, median(theirs));
    } else {
        std::fprintf(stderr, "no transform from the table profile\n");
    }

    // What converting the whole picture would add to its decode. The viewer
    // converts only what it shows (colour_viewer_bench measures that against
    // the goal); this is the cost it avoids.
    std::vector<double> plain, converted;
    for (int i = 0; i < n; ++i) {
        Bitmap decoded;
        plain.push_back(kamelo::bench::bestMs(1, [&] { PictureFile::load(jpeg, decoded); }));
        converted.push_back(kamelo::bench::bestMs(1, [&] {
            PictureFile::load(jpeg, decoded);
            if (const TransformPtr shown =
                    ColourTransform::between(decoded.colourProfile(), nullptr, Intent::Perceptual))
                shown->apply(decoded);
        }));
    }
    const double decodeMs = median(plain), shownMs = median(converted);
    std::printf("%-44s %8.1f ms  decode alone %8.1f ms  ratio %.2f (no goal)\n",
                "24 MP P3 JPEG decoded and converted", shownMs, decodeMs, shownMs / decodeMs);
    fs::remove(ppm);
    fs::remove(out);
    return 0;
}
