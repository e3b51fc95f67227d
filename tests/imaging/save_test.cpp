#include "imaging/core/filebytes.h"
#include "imaging/core/savebyextension.h"
#include "imaging/jpegcodec.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo::imaging;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

Bitmap picture(int w, int h) {
    Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, uint32_t(x * 255 / w) << 16 | uint32_t(y * 255 / h) << 8 | 0x40);
    return b;
}

double meanDifference(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(int(a.row(y)[x]) - int(b.row(y)[x]));
    return sum / (double(a.width()) * a.height() * 3);
}

bool toolPresent(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

struct SaveCase {
    int format;
    const char* ext;
    double tolerance;        // mean difference allowed after the round trip
    const char* otherReader; // independent tool that must accept the file
};

class SaveRoundTrip : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveRoundTrip, WrittenFilesReadBackAndOtherToolsReadThem) {
    const SaveCase c = GetParam();
    ScratchDir dir;
    const Bitmap src = picture(67, 41); // odd width: rows need padding
    const std::string path = dir.file(std::string("out.") + c.ext);
    ASSERT_EQ(PictureSaver::save(src, path, c.format), 1);
    Bitmap back;
    ASSERT_GE(PictureFile::load(path, back), 1);
    ASSERT_EQ(back.width(), 67);
    ASSERT_EQ(back.height(), 41);
    EXPECT_LE(meanDifference(src, back), c.tolerance);
    if (c.otherReader && toolPresent(c.otherReader)) {
        const std::string cmd =
            std::string(c.otherReader) + " identify '" + path + "' >/dev/null 2>&1";
        const bool magick = std::string(c.otherReader) == "gm";
        EXPECT_EQ(
            std::system(magick ? cmd.c_str() : ("identify '" + path + "' >/dev/null 2>&1").c_str()),
            0);
    }
    // No temporary files are left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, SaveRoundTrip,
                         ::testing::Values(SaveCase{saveformat::kPcx, "pcx", 0, "gm"},
                                           SaveCase{saveformat::kGif, "gif", 12, "gm"},
                                           SaveCase{saveformat::kTga, "tga", 0, "gm"},
                                           SaveCase{saveformat::kBmp, "bmp", 0, "gm"},
                                           SaveCase{saveformat::kJpeg, "jpg", 4, "gm"},
                                           SaveCase{saveformat::kTiff, "tif", 0, "gm"},
                                           SaveCase{saveformat::kSun, "ras", 0, "gm"},
                                           SaveCase{saveformat::kPict, "pct", 0, "gm"},
                                           SaveCase{saveformat::kPng, "png", 0, "gm"},
                                           SaveCase{saveformat::kPsd, "psd", 0, "identify"},
                                           SaveCase{saveformat::kIff, "iff", 0, nullptr},
                                           SaveCase{saveformat::kSgi, "sgi", 0, "gm"},
                                           // Lossless at the best quality factor.
                                           SaveCase{saveformat::kWebp, "webp", 0, "identify"},
                                           SaveCase{saveformat::kAvif, "avif", 1, nullptr}),
                         [](const auto& info) { return std::string(info.param.ext); });

TEST(Save, JpegQualityFactorIsMonotonic) {
    EXPECT_EQ(PictureSaver::jpegQualityFor(2), 100);
    EXPECT_EQ(PictureSaver::jpegQualityFor(255), 1);
    int last = 101;
    for (int qf = 2; qf <= 255; ++qf) {
        const int q = PictureSaver::jpegQualityFor(qf);
        EXPECT_LE(q, last);
        last = q;
    }
    // Better quality, bigger file.
    const Bitmap src = picture(200, 150);
    std::vector<uint8_t> best, worst;
    ASSERT_EQ(PictureSaver::encode(src, saveformat::kJpeg, 2, best), 1);
    ASSERT_EQ(PictureSaver::encode(src, saveformat::kJpeg, 227, worst), 1);
    EXPECT_GT(best.size(), worst.size());
}

TEST(Save, UnknownFormatsAndEmptyPicturesWriteNothing) {
    ScratchDir dir;
    EXPECT_EQ(PictureSaver::save(picture(4, 4), dir.file("x.xyz"), 999), result::kSaveFormat);
    EXPECT_EQ(PictureSaver::save(Bitmap(), dir.file("x.png"), saveformat::kPng), result::kNoBitmap);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(PictureSaver::formatForExtension("JPEG"), saveformat::kJpeg);
    EXPECT_EQ(PictureSaver::formatForExtension("pcd"), 0);
    EXPECT_EQ(PictureSaver::formatForExtension("WebP"), saveformat::kWebp);
    EXPECT_EQ(PictureSaver::formatForExtension("avif"), saveformat::kAvif);
    EXPECT_EQ(PictureSaver::formatForExtension("heic"), 0);
}

TEST(Save, TheBatchTableIsTheViewersWithoutGif) {
    for (const char* ext :
         {"bmp", "JPG",  "jpeg", "pcx", "PNG",  "psd",  "tga",  "iff", "pct", "ras", "sgi",
          "tif", "TIFF", "pcd",  "wmf", "webp", "AVIF", "heic", "jxl", "dng", ""}) {
        EXPECT_EQ(saveFormatForExtension(ext, SaveTable::Batch),
                  saveFormatForExtension(ext, SaveTable::Viewer))
            << ext;
    }
    EXPECT_EQ(saveFormatForExtension("gif", SaveTable::Viewer), saveformat::kGif);
    EXPECT_EQ(saveFormatForExtension("gif", SaveTable::Batch), 0);
    EXPECT_EQ(saveFormatForExtension(".Jpeg", SaveTable::Batch), kJpegWriter);
    // The web's formats are written; HEIF, JPEG XL and RAW are only read.
    EXPECT_EQ(saveFormatForExtension("WEBP", SaveTable::Batch), saveformat::kWebp);
    EXPECT_EQ(saveFormatForExtension(".avif", SaveTable::Viewer), saveformat::kAvif);
    for (const char* ext : {"heic", "heif", "jxl", "cr2", "dng"})
        EXPECT_EQ(saveFormatForExtension(ext, SaveTable::Viewer), 0) << ext;
    // The extension is the last name's: a dot in a folder name is no extension.
    EXPECT_EQ(saveFormatForPath("/a.png/picture", SaveTable::Batch), 0);
    EXPECT_EQ(saveFormatForPath("/a/b.c.Png", SaveTable::Batch), saveformat::kPng);
    EXPECT_EQ(upperExtension("/x/y.tiff"), "TIFF");
}

TEST(Save, AWriteThatRunsOutOfSpaceLeavesTheOldFileIntact) {
    ScratchDir dir;
    const std::string path = dir.file("keep.bmp");
    ASSERT_EQ(PictureSaver::save(picture(10, 10), path, saveformat::kBmp), 1);
    const std::vector<uint8_t> before = [&] {
        std::vector<uint8_t> v;
        readWholeFile(path, v);
        return v;
    }();
    // A file-size limit makes the write fail the way a full disk does.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int rc = PictureSaver::save(picture(400, 400), path, saveformat::kBmp);
        _exit(rc == result::kFileWrite ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<uint8_t> after;
    readWholeFile(path, after);
    EXPECT_EQ(after, before);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(Save, AFolderThatCannotBeWrittenLeavesNothingBehind) {
    ScratchDir dir;
    EXPECT_EQ(PictureSaver::save(picture(4, 4), dir.file("missing/x.png"), saveformat::kPng),
              result::kFileWrite);
    if (geteuid() != 0) {
        // Permission bits do not stop root, so this half runs for other users only.
        const std::string ro = dir.file("ro");
        fs::create_directory(ro);
        ASSERT_EQ(PictureSaver::save(picture(4, 4), ro + "/x.png", saveformat::kPng), 1);
        fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(PictureSaver::save(picture(8, 8), ro + "/x.png", saveformat::kPng),
                  result::kFileWrite);
        Bitmap back;
        ASSERT_GE(PictureFile::load(ro + "/x.png", back), 1);
        EXPECT_EQ(back.width(), 4);
    }
}

// The encoder writes into a growing buffer of its own: a noisy picture whose
// file is megabytes long comes out whole and decodes to the same size, an
// APP1 segment lands right after the JFIF header, and one too large for a
// segment is refused without output.
TEST(JpegEncode, LargeOutputAndTheApp1Segment) {
    Bitmap noisy;
    ASSERT_EQ(noisy.create(2000, 1500), result::kSuccess);
    uint32_t seed = 12345;
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width() * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            noisy.row(y)[x] = static_cast<uint8_t>(seed >> 24);
        }
    const std::vector<uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0,
                                       8,   0,   0,   0,   0, 0, 0,   0,   0,  0};
    std::vector<uint8_t> bytes(7, 0xEE); // left-overs must not survive
    ASSERT_EQ(jpegcodec::encode(noisy, 96, bytes, &app1), result::kSuccess);
    ASSERT_GT(bytes.size(), size_t(2) << 20);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    // SOI, APP0 (2 + 16 bytes), then ours.
    ASSERT_EQ(bytes[2], 0xFF);
    ASSERT_EQ(bytes[3], 0xE0);
    const size_t app0End = 4 + (size_t(bytes[4]) << 8 | bytes[5]);
    ASSERT_EQ(bytes[app0End], 0xFF);
    EXPECT_EQ(bytes[app0End + 1], 0xE1);
    EXPECT_EQ(size_t(bytes[app0End + 2]) << 8 | bytes[app0End + 3], app1.size() + 2);
    EXPECT_TRUE(std::equal(app1.begin(), app1.end(), bytes.begin() + app0End + 4));

    Bitmap back;
    ASSERT_EQ(jpegcodec::decode({bytes.data(), bytes.size()}, {}, back), result::kSuccess);
    EXPECT_EQ(back.width(), 2000);
    EXPECT_EQ(back.height(), 1500);

    const std::vector<uint8_t> tooLarge(65534, 0);
    std::vector<uint8_t> none;
    EXPECT_EQ(jpegcodec::encode(noisy, 96, none, &tooLarge), result::kInvalidParameter);
    EXPECT_TRUE(none.empty());
}

// The Windows bitmap writer: rows bottom-up and padded to four bytes at
// every width, the resolution kept, and the file read back pixel for pixel.
TEST(BmpWrite, PaddingOrderAndResolutionRoundTrip) {
    ScratchDir dir;
    for (const int width : {1, 2, 3, 4, 5, 333}) {
        Bitmap b;
        ASSERT_EQ(b.create(width, 3), result::kSuccess);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width * 3; ++x)
                b.row(y)[x] = static_cast<uint8_t>(x * 11 + y * 70 + 1);
        b.setResolution(300, 150);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(PictureSaver::encode(b, saveformat::kBmp, 0, bytes), result::kSuccess);
        const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
        ASSERT_EQ(bytes.size(), 54 + stride * 3) << width;
        // The last row of the file is the top row of the picture.
        EXPECT_EQ(bytes[54 + 2 * stride], b.row(0)[0]);
        EXPECT_EQ(bytes[54], b.row(2)[0]);
        const std::string path = dir.file("w" + std::to_string(width) + ".bmp");
        ASSERT_EQ(PictureSaver::save(b, path, saveformat::kBmp, 0), result::kSuccess);
        Bitmap back;
        ASSERT_EQ(PictureFile::load(path, back), result::kSuccess) << width;
        ASSERT_EQ(back.width(), width);
        ASSERT_EQ(back.height(), 3);
        for (int y = 0; y < 3; ++y)
            EXPECT_TRUE(std::equal(b.row(y), b.row(y) + width * 3, back.row(y)))
                << width << " " << y;
        EXPECT_EQ(back.xResolution(), 300);
        EXPECT_EQ(back.yResolution(), 150);
    }
}
