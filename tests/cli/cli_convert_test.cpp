#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "tests/cli/clirunner.h"
#include "tests/support/metadatadump.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::test::CliResult;
using kamelo::test::CliStreams;
using kamelo::test::runCli;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {
std::string copyIn(const ScratchDir& dir, const std::string& relative, const std::string& as) {
    const std::string to = dir.file("in/" + as);
    fs::create_directories(dir.file("in"));
    fs::copy_file(kamelo::test::testDataFile(relative), to);
    return to;
}
} // namespace

TEST(KameloCliConvert, ConvertsLogsAndReportsFailures) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string good = copyIn(dir, "camera/Canon_40D.jpg", "good.jpg");
    const std::string bmp =
        copyIn(dir,
               "formats/bmp/" + fs::directory_iterator(kamelo::test::testDataFile("formats/bmp"))
                                    ->path()
                                    .filename()
                                    .string(),
               "pic.bmp");
    const std::string broken = copyIn(dir, "broken/truncated_jpeg.jpg", "broken.jpg");
    const std::string brokenBytes = kamelo::test::readFile(broken);

    CliResult r = runCli(dir, {"convert", "--format", "png", "--jobs", "2", good, broken, bmp});
    EXPECT_EQ(r.code, 1);
    // One line a file in list order, the failure with its reason, then the count.
    const std::string expected = good + " -> " + dir.file("in/good.PNG") + "\n";
    EXPECT_EQ(r.out.rfind(expected, 0), 0u) << r.out;
    const size_t failLine = r.out.find(broken + " -> 실패 (");
    const size_t bmpLine = r.out.find(bmp + " -> " + dir.file("in/pic.PNG"));
    EXPECT_NE(failLine, std::string::npos) << r.out;
    EXPECT_LT(failLine, bmpLine);
    EXPECT_NE(r.out.find("실패한 파일: 1개\n완료\n"), std::string::npos) << r.out;
    EXPECT_EQ(kamelo::test::readFile(broken), brokenBytes);
    EXPECT_FALSE(fs::exists(dir.file("in/broken.PNG")));
    kamelo::imaging::FileInfo info;
    ASSERT_EQ(kamelo::imaging::PictureFile::readInfo(dir.file("in/good.PNG"), info), 1);
    EXPECT_EQ(info.format, kamelo::imaging::PictureFormat::Png);

    // Existing outputs are kept unless asked; progress goes to the error stream.
    const std::string before = kamelo::test::readFile(dir.file("in/good.PNG"));
    r = runCli(dir, {"convert", "--format", "PNG", good}, CliStreams::Errors);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("1/1"), std::string::npos) << r.out;
    EXPECT_EQ(kamelo::test::readFile(dir.file("in/good.PNG")), before);
    r = runCli(
        dir, {"convert", "--format", "PNG", "--overwrite", "--out", dir.file("deep/er/out"), good});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(fs::exists(dir.file("deep/er/out/good.PNG")));
}

TEST(KameloCliConvert, JpegQualityAndBadArguments) {
    ScratchDir dir;
    fs::create_directories(dir.file("in"));
    // A picture made by the program itself: noise compresses badly, so the
    // quality shows in the size.
    const std::string src = dir.file("in/noise.bmp");
    ASSERT_EQ(runCli(dir, {"convert", "--format", "jpg", src}).code, 1); // missing file
    {
        std::string bmp;
        const int w = 64, h = 64, stride = w * 3;
        const uint32_t size = 54 + stride * h;
        auto le = [&](uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                bmp += char((v >> (8 * i)) & 0xFF);
        };
        bmp += "BM";
        le(size, 4);
        le(0, 4);
        le(54, 4);
        le(40, 4);
        le(w, 4);
        le(h, 4);
        le(1, 2);
        le(24, 2);
        le(0, 4);
        le(stride * h, 4);
        le(2835, 4);
        le(2835, 4);
        le(0, 4);
        le(0, 4);
        uint32_t seed = 7;
        for (int i = 0; i < stride * h; ++i) {
            seed = seed * 1103515245u + 12345u;
            bmp += char(seed >> 16);
        }
        kamelo::test::writeFile(src, bmp);
    }
    EXPECT_EQ(
        runCli(dir, {"convert", "--format", "JPG", "--quality", "5", "--out", dir.file("low"), src})
            .code,
        0);
    EXPECT_EQ(runCli(dir, {"convert", "--format", "JPG", "--quality-factor", "2", "--out",
                           dir.file("high"), src})
                  .code,
              0);
    EXPECT_LT(fs::file_size(dir.file("low/noise.JPG")), fs::file_size(dir.file("high/noise.JPG")));
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"convert", src},
          {"convert", "--format", "gif", src},
          {"convert", "--format", "png"},
          {"convert", "--format", "jpg", "--quality", "101", src},
          {"convert", "--format", "jpg", "--quality-factor", "1", src},
          {"convert", "--format", "jpg", "--quality", "5", "--quality-factor", "9", src},
          {"convert", "--format", "png", "--jobs", "0", src}})
        EXPECT_EQ(runCli(dir, bad).code, 2) << bad.back();
}

TEST(KameloCliConvert, PhonePicturesForTheWebKeepTheCameraValues) {
    for (const char* tool : {"convert", "exiftool", "heif-enc"})
        ASSERT_TRUE(kamelo::test::haveTool(tool)) << tool << " is needed";
    ScratchDir dir;
    fs::create_directories(dir.file("in"));
    const std::string jpeg = dir.file("made.jpg");
    const std::string heic = dir.file("in/IMG_0001.heic");
    kamelo::test::commandOutput("convert -size 80x60 xc:'#c03020' " + kamelo::test::quoted(jpeg) +
                                " && exiftool -q -q -overwrite_original -Make=Kamelo "
                                "-Model='Test Phone' -DateTimeOriginal='2024:05:06 07:08:09' " +
                                kamelo::test::quoted(jpeg) + " && heif-enc -q 90 " +
                                kamelo::test::quoted(jpeg) + " -o " + kamelo::test::quoted(heic) +
                                " >/dev/null");
    ASSERT_TRUE(fs::exists(heic));
    struct Row {
        const char* format;
        const char* written;
        kamelo::imaging::PictureFormat read;
    };
    for (const Row& row : {Row{"webp", "in/IMG_0001.WEBP", kamelo::imaging::PictureFormat::WebP},
                           Row{"AVIF", "in/IMG_0001.AVIF", kamelo::imaging::PictureFormat::Avif},
                           Row{"jpg", "in/IMG_0001.JPG", kamelo::imaging::PictureFormat::Jpeg}}) {
        SCOPED_TRACE(row.format);
        const CliResult r =
            runCli(dir, {"convert", "--format", row.format, "--quality", "90", heic});
        EXPECT_EQ(r.code, 0) << r.out;
        const std::string out = dir.file(row.written);
        kamelo::imaging::FileInfo info;
        ASSERT_EQ(kamelo::imaging::PictureFile::readInfo(out, info), 1);
        EXPECT_EQ(info.format, row.read);
        EXPECT_EQ(info.width, 80);
        EXPECT_EQ(info.height, 60);
        EXPECT_EQ(kamelo::test::commandOutput("exiftool -s3 -Make -Model -DateTimeOriginal " +
                                              kamelo::test::quoted(out)),
                  "Kamelo\nTest Phone\n2024:05:06 07:08:09\n");
    }
}
