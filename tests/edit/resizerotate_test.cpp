#include "edit/batchrunner.h"
#include "edit/resizeops.h"
#include "edit/rotateops.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "resources/stringtable.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

imaging::Bitmap noise(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    imaging::Bitmap b;
    b.allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFF);
    return b;
}

struct Recorder : BatchEvents {
    std::vector<std::string> writtenFiles;
    std::vector<std::pair<std::string, std::string>> failures;
    void written(const std::string& s, const std::string&) override { writtenFiles.push_back(s); }
    void failed(const std::string& s, const std::string& reason) override {
        failures.emplace_back(s, reason);
    }
    OverwriteAnswer askOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
};

BatchSummary run(BatchJob job, Recorder& r) {
    std::atomic<bool> stop{false};
    BatchRunner runner(std::move(job));
    return runner.run(r, stop);
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string commandOutput(const std::string& cmd) {
    std::string out;
    FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
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

bool haveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// One EXIF value as exiv2 prints it, "" when absent.
std::string exivValue(const std::string& path, const std::string& key) {
    return commandOutput("exiv2 -q -K " + key + " -Pv " + shellQuote(path));
}

// "W H" as GraphicsMagick reads the file.
std::string gmSize(const std::string& path) {
    return commandOutput("gm identify -format '%w %h' " + shellQuote(path));
}

std::string copyIn(const ScratchDir& dir, const std::string& relative) {
    const std::string from = kamelo::test::testDataFile(relative);
    const std::string to = dir.path() + "/" + fs::path(relative).filename().string();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

// Mean absolute difference of two pictures of the same size.
double meanDifference(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < a.width() * 3; ++i)
            sum += std::abs(int(a.row(y)[i]) - int(b.row(y)[i]));
    return sum / (double(a.width()) * a.height() * 3);
}

} // namespace

TEST(RotateOps, EveryCodeIsUndoneByteForByte) {
    const imaging::Bitmap original = noise(7, 5, 11);
    for (int c : {1, 2, 3, 5, 6, 7, 8}) {
        imaging::Bitmap b = original;
        ASSERT_EQ(RotateOps::applyCode(b, RotateCode(c)), 1) << c;
        EXPECT_FALSE(samePixels(b, original)) << c;
        if (c == 1 || c == 3 || c == 7 || c == 8) {
            EXPECT_EQ(b.width(), 5) << c;
            EXPECT_EQ(b.height(), 7) << c;
        }
        ASSERT_EQ(RotateOps::undoCode(b, RotateCode(c)), 1) << c;
        EXPECT_TRUE(samePixels(b, original)) << c;
    }
}

TEST(RotateOps, LeftTwiceThenUndoTurnsBackOneQuarter) {
    const imaging::Bitmap original = noise(6, 3, 5);
    imaging::Bitmap b = original;
    ASSERT_EQ(RotateOps::applyCode(b, RotateCode::Left), 1);
    ASSERT_EQ(RotateOps::applyCode(b, RotateCode::Left), 1);
    imaging::Bitmap half = original;
    ASSERT_EQ(RotateOps::applyCode(half, RotateCode::HalfTurn), 1);
    EXPECT_TRUE(samePixels(b, half));
    // Only the last code is remembered: one quarter back.
    ASSERT_EQ(RotateOps::undoCode(b, RotateCode::Left), 1);
    imaging::Bitmap left = original;
    ASSERT_EQ(RotateOps::applyCode(left, RotateCode::Left), 1);
    EXPECT_TRUE(samePixels(b, left));
}

TEST(RotateOps, DiagonalsAreTransposes) {
    const imaging::Bitmap original = noise(4, 3, 9);
    imaging::Bitmap right = original;
    ASSERT_EQ(RotateOps::applyCode(right, RotateCode::RightDiagonal), 1);
    imaging::Bitmap left = original;
    ASSERT_EQ(RotateOps::applyCode(left, RotateCode::LeftDiagonal), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            // Turned right then mirrored: (x, y) lands on (y, x).
            EXPECT_EQ(right.pixel(y, x), original.pixel(x, y));
            // Turned left then mirrored: the other diagonal.
            EXPECT_EQ(left.pixel(2 - y, 3 - x), original.pixel(x, y));
        }
}

TEST(RotateOps, AutoTurnFollowsTheOrientation) {
    const imaging::Bitmap original = noise(5, 2, 3);
    for (int o = 0; o <= 9; ++o) {
        imaging::Bitmap b = original;
        bool turned = true;
        ASSERT_EQ(RotateOps::autoTurn(b, o, &turned), 1);
        EXPECT_EQ(turned, o == 3 || o == 6 || o == 8) << o;
        imaging::Bitmap expected = original;
        if (o == 3 || o == 6 || o == 8) {
            ASSERT_EQ(imaging::Orientation::makeUpright(expected, o), 1);
        }
        EXPECT_TRUE(samePixels(b, expected)) << o;
    }
    imaging::Bitmap none;
    EXPECT_LT(RotateOps::autoTurn(none, 6), 1);
}

TEST(ResizeOps, RefusedSizesLeaveThePictureAndSaySo) {
    imaging::Bitmap b = noise(99, 40, 1);
    ResizeSettings s;
    s.percent = 1;
    std::string reason;
    EXPECT_LT(ResizeOps::apply(b, s, reason), 1);
    EXPECT_NE(reason.find(res::text(res::IDS_MSG_RESIZE_FAILED)), std::string::npos);
    EXPECT_EQ(b.width(), 99);
    s.percent = 50;
    s.interpolation = 7;
    reason.clear();
    EXPECT_LT(ResizeOps::apply(b, s, reason), 1);
    EXPECT_EQ(b.width(), 99);
    for (int index = 0; index < 3; ++index) {
        imaging::Bitmap c = noise(101, 75, 2);
        s.interpolation = index;
        ASSERT_EQ(ResizeOps::apply(c, s, reason), 1) << index;
        EXPECT_EQ(c.width(), 50);
        EXPECT_EQ(c.height(), 37);
    }
}

// The camera files whose EXIF orientation asks for a turn, and two that do not.
struct CameraCase {
    const char* file;
    int orientation; // 0: no tag
};
const CameraCase kCameraCases[] = {
    {"Apple iPhone 5.jpg", 3}, {"Sony Cybershot (3).jpg", 6}, {"Canon PowerShot A85.jpg", 8},
    {"Canon_40D.jpg", 1},      {"Pentax ist D.jpg", 0},
};

class AutoRotateBatch : public ::testing::TestWithParam<bool> {};

TEST_P(AutoRotateBatch, StandsCameraPicturesUprightWithOrientationOne) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTool("exiv2") || !haveTool("gm"))
        GTEST_SKIP() << "exiv2 and gm are needed to read the results independently";
    ScratchDir dir;
    BatchJob job;
    const BatchOperation op = rotateBatchOperation();
    job.upright = GetParam(); // "Apply Orientation" of the viewer
    job.uprightFor = op.uprightFor;
    job.step = op.step;
    std::vector<std::string> before;
    for (const CameraCase& c : kCameraCases) {
        job.sources.push_back(copyIn(dir, std::string("camera/") + c.file));
        job.records.emplace_back(RotateCode::Auto);
        before.push_back(gmSize(job.sources.back()));
    }
    const std::string make0 = exivValue(job.sources[1], "Exif.Image.Make");
    Recorder r;
    const BatchSummary s = run(job, r);
    ASSERT_EQ(s.written, 5);
    EXPECT_TRUE(r.failures.empty());
    for (size_t i = 0; i < job.sources.size(); ++i) {
        const CameraCase& c = kCameraCases[i];
        const std::string& path = job.sources[i];
        const std::string o = exivValue(path, "Exif.Image.Orientation");
        if (c.orientation == 0) {
            EXPECT_EQ(o, "") << c.file; // no tag was made up
        } else {
            EXPECT_EQ(o, "1") << c.file;
        }
        std::string expected = before[i];
        if (c.orientation == 6 || c.orientation == 8) {
            const auto sp = expected.find(' ');
            expected = expected.substr(sp + 1) + " " + expected.substr(0, sp);
        }
        EXPECT_EQ(gmSize(path), expected) << c.file;
        // Upright: the written pixels are the source's turned by its tag.
        imaging::Bitmap written, source;
        ASSERT_EQ(imaging::PictureFile::load(path, written), 1);
        ASSERT_EQ(imaging::PictureFile::load(
                      kamelo::test::testDataFile(std::string("camera/") + c.file), source),
                  1);
        if (c.orientation > 1) {
            ASSERT_EQ(imaging::Orientation::makeUpright(source, c.orientation), 1);
        }
        EXPECT_LT(meanDifference(written, source), 4.0) << c.file;
    }
    EXPECT_EQ(exivValue(job.sources[1], "Exif.Image.Make"), make0);
}

INSTANTIATE_TEST_SUITE_P(ApplyOrientation, AutoRotateBatch, ::testing::Bool());

TEST(RotateBatch, FixedCodesKeepTheOrientationTagOfAnUnturnedRun) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTool("exiv2"))
        GTEST_SKIP() << "exiv2 is needed";
    ScratchDir dir;
    const BatchOperation op = rotateBatchOperation();
    BatchJob job;
    job.upright = false;
    job.uprightFor = op.uprightFor;
    job.step = op.step;
    job.sources = {copyIn(dir, "camera/Sony Cybershot (3).jpg")};
    job.records = {std::any(RotateCode::Left)};
    Recorder r;
    ASSERT_EQ(run(job, r).written, 1);
    EXPECT_EQ(exivValue(job.sources[0], "Exif.Image.Orientation"), "6");
}

TEST(ResizeBatch, KeepsCameraInformationWithTheNewSize) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTool("exiv2") || !haveTool("gm"))
        GTEST_SKIP() << "exiv2 and gm are needed to read the results independently";
    ScratchDir dir;
    const std::string out = dir.path() + "/resized";
    ResizeSettings settings;
    settings.percent = 50;
    BatchJob job;
    job.upright = false;
    job.mode = DestinationMode::Folder;
    job.folder = out;
    job.step = ResizeOps::step(settings);
    for (const char* f : {"Canon_40D.jpg", "Nikon_D70.jpg", "Sony Cybershot (3).jpg"})
        job.sources.push_back(kamelo::test::testDataFile(std::string("camera/") + f));
    Recorder r;
    ASSERT_EQ(run(job, r).written, 3);
    const char* keys[] = {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.DateTimeOriginal",
                          "Exif.Photo.ExposureTime", "Exif.Image.Orientation"};
    for (const std::string& src : job.sources) {
        const std::string dst = out + "/" + fs::path(src).filename().string();
        ASSERT_TRUE(fs::exists(dst)) << dst;
        for (const char* k : keys)
            EXPECT_EQ(exivValue(dst, k), exivValue(src, k)) << src << " " << k;
        const std::string size = gmSize(src);
        const int w = std::stoi(size.substr(0, size.find(' ')));
        const int h = std::stoi(size.substr(size.find(' ') + 1));
        const std::string expected = std::to_string(w / 2) + " " + std::to_string(h / 2);
        EXPECT_EQ(gmSize(dst), expected) << src;
        const std::string px = exivValue(dst, "Exif.Photo.PixelXDimension");
        if (!exivValue(src, "Exif.Photo.PixelXDimension").empty()) {
            EXPECT_EQ(px, std::to_string(w / 2)) << src;
            EXPECT_EQ(exivValue(dst, "Exif.Photo.PixelYDimension"), std::to_string(h / 2));
        }
    }
}

TEST(ResizeBatch, RefusedAndBrokenFilesAreReportedAndLeftAlone) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    std::vector<std::string> sources;
    for (const auto& e : fs::directory_iterator(kamelo::test::testDataFile("broken")))
        if (e.path().filename().string().rfind("LICENSE", 0) != 0 && e.path().extension() != ".txt")
            sources.push_back(copyIn(dir, "broken/" + e.path().filename().string()));
    sources.push_back(copyIn(dir, "camera/Issue 508.jpg"));
    std::vector<std::string> bytes;
    for (const auto& s : sources)
        bytes.push_back(kamelo::test::readFile(s));
    ResizeSettings settings;
    settings.percent = 1; // the 1 x 1 picture cannot shrink
    BatchJob job;
    job.upright = true;
    job.sources = sources;
    job.step = ResizeOps::step(settings);
    Recorder r;
    const BatchSummary s = run(job, r);
    EXPECT_EQ(s.written + s.failed, int(sources.size()));
    EXPECT_GE(s.failed, 20);
    ASSERT_FALSE(r.failures.empty());
    // The refused resize is named, and nothing was written for it.
    EXPECT_EQ(r.failures.back().first, sources.back());
    EXPECT_NE(r.failures.back().second.find(res::text(res::IDS_MSG_RESIZE_FAILED)),
              std::string::npos);
    for (const auto& [failed, reason] : r.failures) {
        EXPECT_FALSE(reason.empty()) << failed;
        const size_t i =
            size_t(std::find(sources.begin(), sources.end(), failed) - sources.begin());
        ASSERT_LT(i, sources.size());
        EXPECT_EQ(kamelo::test::readFile(failed), bytes[i]) << failed;
    }
}
