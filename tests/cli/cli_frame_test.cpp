#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/stringtable.h"
#include "tests/cli/clirunner.h"
#include "tests/frames/skinfixture.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using kamelo::test::cli;
using kamelo::test::CliStreams;
using kamelo::test::runCli;
using kamelo::test::ScratchDir;
using kamelo::test::shellQuote;
namespace fs = std::filesystem;
using namespace kamelo;

namespace {

std::string exivValue(const std::string& path, const std::string& key) {
    std::string out;
    FILE* p =
        popen(("exiv2 -q -K " + key + " -Pv " + shellQuote(path) + " 2>/dev/null").c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string copyIn(const ScratchDir& dir, const std::string& relative, const std::string& as = {}) {
    const std::string to = dir.file(as.empty() ? fs::path(relative).filename().string() : as);
    fs::copy_file(test::testDataFile(relative), to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

imaging::FileInfo info(const std::string& path) {
    imaging::FileInfo i;
    imaging::PictureFile::readInfo(path, i);
    return i;
}

std::string plainPicture(const ScratchDir& dir, const std::string& name, int w, int h) {
    imaging::Bitmap b;
    b.create(w, h, 0x336699);
    imaging::PictureSaver::save(
        b, dir.file(name),
        imaging::PictureSaver::formatForExtension(fs::path(name).extension().string()));
    return dir.file(name);
}

// A skin folder with the tight test skin (margins 16 x 18).
std::string skinFolder(const ScratchDir& dir) {
    fs::create_directories(dir.file("skins"));
    test::writeTightSkin(dir.file("skins"), "tight", test::TightSkin());
    return dir.file("skins");
}

} // namespace

TEST(CliFrame, ListsSkinsInNameOrder) {
    ScratchDir dir;
    const std::string skins = skinFolder(dir);
    test::writeFile(dir.file("skins/another.ini"), "[GENERAL]\nCAPTION=다른 액자\n");
    test::writeFile(dir.file("skins/untitled.ini"), "[SKIN]\nMARGIN_X=3\n");
    const auto r = cli(dir, {"frame", "--list", "--skin-dir", skins});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "another\t다른 액자\ntight\t시험 액자\n");
    fs::create_directories(dir.file("empty"));
    const auto none =
        runCli(dir, {"frame", "--list", "--skin-dir", dir.file("empty")}, CliStreams::Errors);
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.out.find(res::text(res::IDS_MSG_NO_FRAME_SKIN)), std::string::npos);
}

TEST(CliFrame, BundledSkinsAreListed) {
    ScratchDir dir;
    const auto r = cli(dir, {"frame", "--list"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("polaroid\t"), std::string::npos);
    EXPECT_NE(r.out.find("ribbon\t"), std::string::npos);
}

TEST(CliFrame, CameraJpegsKeepTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    if (std::system("command -v exiv2 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "exiv2 is needed to read the results independently";
    ScratchDir dir;
    const std::string skins = skinFolder(dir);
    const std::string a = copyIn(dir, "camera/Canon_40D.jpg");
    const std::string b = copyIn(dir, "camera/Canon PowerShot A85.jpg");
    const std::string empty = copyIn(dir, "broken/empty.png", "empty.jpg");
    const std::string out = dir.file("new/output");
    const auto r = cli(dir, {"frame", "--skin-dir", skins, "--skin", "tight", "--text", "가을 소풍",
                             "--size", "12", "--out-dir", out, a, empty, b});
    EXPECT_EQ(r.code, 1) << r.out; // the empty file failed, the others were written
    EXPECT_NE(r.out.find(empty + " -> "), std::string::npos);
    EXPECT_FALSE(fs::exists(out + "/empty.jpg"));
    for (const std::string& src : {a, b}) {
        const std::string dst = out + "/" + fs::path(src).filename().string();
        ASSERT_TRUE(fs::exists(dst)) << dst;
        for (const char* key :
             {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.DateTimeOriginal"}) {
            EXPECT_FALSE(exivValue(src, key).empty());
            EXPECT_EQ(exivValue(dst, key), exivValue(src, key)) << key;
        }
        const imaging::FileInfo in = info(src), got = info(dst);
        EXPECT_TRUE((got.width == in.width + 16 && got.height == in.height + 18) ||
                    (got.width == in.height + 16 && got.height == in.width + 18));
    }
}

TEST(CliFrame, OneFileByItsExtension) {
    ScratchDir dir;
    const std::string skins = skinFolder(dir);
    const std::string src = plainPicture(dir, "p.bmp", 40, 30);
    const auto r = cli(dir, {"frame", "--skin-dir", skins, "--skin", "시험 액자", "--tag", src,
                             "--tag-pos", "4", "--out", dir.file("framed.png"), src});
    EXPECT_EQ(r.code, 0) << r.out;
    const imaging::FileInfo got = info(dir.file("framed.png"));
    EXPECT_EQ(got.format, imaging::PictureFormat::Png);
    EXPECT_EQ(got.width, 56);
    EXPECT_EQ(got.height, 48);
    // An existing output is kept unless asked.
    const std::string before = test::readFile(dir.file("framed.png"));
    const auto again = cli(dir, {"frame", "--skin-dir", skins, "--skin", "tight", "--out",
                                 dir.file("framed.png"), src});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(test::readFile(dir.file("framed.png")), before);
    const auto forced =
        cli(dir, {"text", "--text", "가", "--overwrite", "--out", dir.file("framed.png"), src});
    EXPECT_EQ(forced.code, 0);
    EXPECT_EQ(info(dir.file("framed.png")).width, 40); // no frame from text
}

TEST(CliFrame, DamagedSkinWritesNothing) {
    ScratchDir dir;
    const std::string skins = skinFolder(dir);
    std::string ini = test::tightSkinIni(test::TightSkin());
    ini.replace(ini.find("LEFT_CY=4"), 9, "LEFT_CY=0");
    test::writeFile(dir.file("skins/tight.ini"), ini);
    const std::string src = plainPicture(dir, "p.png", 20, 20);
    test::writeFile(dir.file("out/p.png"), "keep me");
    const auto r = runCli(dir,
                          {"frame", "--skin-dir", skins, "--skin", "tight", "--out-dir",
                           dir.file("out"), "--overwrite", src, dir.file("q.png")},
                          CliStreams::Errors);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find(res::text(res::IDS_MSG_FRAME_SKIN_INVALID)), std::string::npos);
    EXPECT_EQ(test::readFile(dir.file("out/p.png")), "keep me");
    EXPECT_FALSE(fs::exists(dir.file("out/q.png")));
    fs::remove(dir.file("skins/tight.bmp"));
    test::writeFile(dir.file("skins/tight.ini"), test::tightSkinIni(test::TightSkin()));
    const auto gone = runCli(dir, {"frame", "--skin-dir", skins, "--out", dir.file("x.png"), src},
                             CliStreams::Errors);
    EXPECT_EQ(gone.code, 2);
    EXPECT_NE(gone.out.find(res::text(res::IDS_MSG_FRAME_BITMAP_MISSING)), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("x.png")));
}

TEST(CliFrame, ExistingFilesInTheFolderAreSkippedUnlessAsked) {
    ScratchDir dir;
    const std::string skins = skinFolder(dir);
    const std::string src = plainPicture(dir, "p.png", 20, 20);
    test::writeFile(dir.file("out/p.png"), "keep me");
    auto r = cli(dir, {"frame", "--skin-dir", skins, "--out-dir", dir.file("out"), src});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(test::readFile(dir.file("out/p.png")), "keep me");
    r = cli(dir, {"frame", "--skin-dir", skins, "--out-dir", dir.file("out"), "--overwrite", src});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(info(dir.file("out/p.png")).width, 36);
}

TEST(CliFrame, WrongCallsPrintTheUsage) {
    ScratchDir dir;
    const std::string src = plainPicture(dir, "p.png", 8, 8);
    const std::vector<std::vector<std::string>> calls = {
        {"frame", src},
        {"frame", "--out", dir.file("a.png"), src, src},
        {"frame", "--alpha", "256", "--out-dir", dir.file("o"), src},
        {"frame", "--colour", "red", "--out-dir", dir.file("o"), src},
        {"frame", "--text-pos", "9", "--out-dir", dir.file("o"), src},
        {"frame", "--list", src},
        {"frame", "--out", dir.file("a.png"), "--out-dir", dir.file("o"), src},
        {"text", "--out-dir", dir.file("o"), src},
        {"text", "--skin", "x", "--text", "a", "--out-dir", dir.file("o"), src},
        {"frame", "--frobnicate", "--out-dir", dir.file("o"), src},
    };
    for (const auto& args : calls) {
        const auto r = runCli(dir, args, CliStreams::Errors);
        EXPECT_EQ(r.code, 2) << args[1];
        EXPECT_NE(r.out.find("kamelo-cli " + args[0]), std::string::npos) << args[1];
    }
    EXPECT_FALSE(fs::exists(dir.file("o")));
    EXPECT_FALSE(fs::exists(dir.file("a.png")));
    const auto missing =
        cli(dir, {"frame", "--skin", "없는 스킨", "--out-dir", dir.file("o"), src});
    EXPECT_EQ(missing.code, 2);
}
