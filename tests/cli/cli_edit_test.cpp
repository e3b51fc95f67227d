#include "exif/jpegpropertyinfo.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "tests/cli/clirunner.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::JpegPropertyInfo;
using kamelo::test::CliResult;
using kamelo::test::runCli;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;
namespace imaging = kamelo::imaging;

namespace {
std::string writeGradient(const ScratchDir& dir, const std::string& name, int w, int h) {
    imaging::Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, uint32_t(40 + x % 150) << 16 | uint32_t(40 + y % 150) << 8 | 90);
    fs::create_directories(dir.file("in"));
    const std::string path = dir.file("in/" + name);
    imaging::PictureSaver::save(b, path, imaging::saveformat::kPng, 0);
    return path;
}

imaging::Bitmap load(const std::string& path) {
    imaging::Bitmap b;
    imaging::PictureFile::load(path, b);
    return b;
}
} // namespace

TEST(KameloCliEdit, AdjustStretchesLevelsIntoAFolder) {
    ScratchDir dir;
    const std::string a = writeGradient(dir, "a.png", 200, 120);
    const std::string before = kamelo::test::readFile(a);
    CliResult r = runCli(dir, {"adjust", "--levels", "40,1.0,189", "--out", dir.file("out"), a});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find(" -> "), std::string::npos);
    EXPECT_EQ(kamelo::test::readFile(a), before);
    const imaging::Bitmap out = load(dir.file("out/a.png"));
    ASSERT_EQ(out.width(), 200);
    EXPECT_EQ(out.pixel(0, 0), 0x000056u); // 40 -> 0, blue (90 - 40) / 149 * 255 = 85.6
    EXPECT_EQ(out.pixel(149, 0) >> 16 & 255, 255u); // red 189
}

TEST(KameloCliEdit, AdjustModesAndFiltersInPlace) {
    ScratchDir dir;
    const std::string a = writeGradient(dir, "a.png", 64, 48);
    CliResult r = runCli(dir, {"adjust", "--grey", "--sharpen", "10", a});
    EXPECT_EQ(r.code, 0) << r.out;
    const imaging::Bitmap out = load(a);
    const uint32_t p = out.pixel(10, 10);
    EXPECT_EQ(p >> 16 & 255, p & 255);
    // Unsharp values beyond the filter's range are held to it.
    r = runCli(dir, {"adjust", "--unsharp", "99999999,500,999", a});
    EXPECT_EQ(r.code, 0) << r.out;
}

TEST(KameloCliEdit, WrongUseIsRefused) {
    ScratchDir dir;
    const std::string a = writeGradient(dir, "a.png", 8, 8);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"adjust", a},
                                                 {"adjust", "--levels", "200,1,100", a},
                                                 {"adjust", "--levels", "1,x,200", a},
                                                 {"adjust", "--grey", "--auto-colour", a},
                                                 {"adjust", "--blur", "101", a},
                                                 {"adjust", "--sharpen", "1", "--blur", "2", a},
                                                 {"crop", a},
                                                 {"crop", "--rect", "0,0,0,5", a},
                                                 {"crop", "--rect", "1,2,3", a},
                                                 {"crop", "--rect", "0,0,4,4"}}) {
        EXPECT_EQ(runCli(dir, args).code, 2) << args[1];
    }
}

TEST(KameloCliEdit, CropCutsClipsAndReportsFailures) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string a = writeGradient(dir, "a.png", 200, 120);
    const std::string small = writeGradient(dir, "small.png", 10, 10);
    const std::string jpeg = dir.file("in/camera.jpg");
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), jpeg);
    const JpegPropertyInfo cameraBefore = JpegPropertyInfo::read(jpeg);
    const std::string broken = dir.file("in/broken.jpg");
    fs::copy_file(kamelo::test::testDataFile("broken/truncated_jpeg.jpg"), broken);
    const std::string brokenBytes = kamelo::test::readFile(broken);
    const imaging::Bitmap original = load(a);

    CliResult r = runCli(dir, {"crop", "--rect", "150,100,100,100", a, small, broken});
    EXPECT_EQ(r.code, 1) << r.out;
    // Clipped to the picture's corner.
    const imaging::Bitmap out = load(a);
    ASSERT_EQ(out.width(), 50);
    ASSERT_EQ(out.height(), 20);
    EXPECT_EQ(out.pixel(0, 0), original.pixel(150, 100));
    EXPECT_EQ(out.pixel(49, 19), original.pixel(199, 119));
    // Missed entirely: refused, left as it was.
    EXPECT_EQ(load(small).width(), 10);
    EXPECT_EQ(kamelo::test::readFile(broken), brokenBytes);
    r = runCli(dir, {"crop", "--rect", "10,12,40,30", jpeg});
    EXPECT_EQ(r.code, 0) << r.out;
    const imaging::Bitmap cut = load(jpeg);
    EXPECT_EQ(cut.width(), 40);
    EXPECT_EQ(cut.height(), 30);
    const JpegPropertyInfo cameraAfter = JpegPropertyInfo::read(jpeg);
    for (uint16_t tag : {uint16_t(271), uint16_t(272), uint16_t(36867), uint16_t(33434)}) {
        ASSERT_EQ(cameraBefore.has(tag), cameraAfter.has(tag)) << tag;
        if (cameraBefore.has(tag)) {
            EXPECT_EQ(cameraBefore.item(tag)->text, cameraAfter.item(tag)->text) << tag;
        }
    }
}
