#include <QWidget>

#include "edit/batchhandover.h"
#include "edit/batchrunner.h"
#include "edit/levelspicture.h"
#include "edit/picturetools.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/colorops.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/resize.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {
imaging::Bitmap gradient(int w, int h) {
    imaging::Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y,
                       uint32_t((x * 7) & 255) << 16 | uint32_t((y * 5) & 255) << 8 |
                           uint32_t((x + y) & 255));
    return b;
}

class Events : public BatchEvents {
public:
    OverwriteAnswer askOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
    void failed(const std::string& s, const std::string&) override { failures.push_back(s); }
    std::vector<std::string> failures;
};
} // namespace

TEST(ColourHistograms, MatchAnIndependentCount) {
    // Wide enough to be split over threads.
    const imaging::Bitmap b = gradient(517, 389);
    const auto h = imaging::ColorOps::histograms(b);
    std::array<std::array<uint32_t, 256>, 4> expected{};
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const uint32_t p = b.pixel(x, y);
            const int r = int(p >> 16 & 255), g = int(p >> 8 & 255), bl = int(p & 255);
            ++expected[1][r];
            ++expected[2][g];
            ++expected[3][bl];
            ++expected[0][int(std::trunc(0.11 * bl + 0.59 * g + 0.3 * r + 0.5)) % 256];
        }
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(h[c][i], expected[c][i]) << c << " " << i;
}

TEST(LevelsPicture, StretchRestoreAndNewBase) {
    imaging::Bitmap target;
    target.create(300, 200, 0x0A0AF5); // r 10, g 10, b 245
    LevelsPicture p;
    ASSERT_EQ(p.attach(&target), 1);
    p.levels().setLevelSet(0, {10, 1.0, 245, 0, 255});
    ASSERT_EQ(p.apply(), 1);
    EXPECT_EQ(target.pixel(299, 199), 0x0000FFu);
    ASSERT_EQ(p.restore(), 1);
    EXPECT_EQ(target.pixel(0, 0), 0x0A0AF5u);
    EXPECT_TRUE(p.levels().isIdentity());
    p.levels().setLevelSet(0, {10, 1.0, 245, 0, 255});
    p.apply();
    p.takeAsBase();
    // The next change starts from the stretched picture.
    p.levels().setLevelSet(3, {0, 1.0, 255, 0, 128});
    p.apply();
    EXPECT_EQ(target.pixel(5, 5), 0x000080u);
}

TEST(LevelsPicture, AutoContrastOfFlatAndWhitePicturesChangesNothing) {
    for (uint32_t colour : {0x646464u, 0xFFFFFFu, 0x000000u}) {
        imaging::Bitmap target;
        target.create(64, 48, colour);
        const imaging::Bitmap before = target;
        LevelsPicture p;
        p.attach(&target);
        ASSERT_EQ(p.autoContrast(), 1);
        EXPECT_TRUE(samePixels(before, target)) << colour;
        ASSERT_EQ(p.autoColour(), 1);
        EXPECT_TRUE(samePixels(before, target)) << colour;
        ColourRecord r;
        r.mode = ColourRecord::AutoContrast;
        imaging::Bitmap again = before;
        ASSERT_EQ(LevelsPicture::runRecord(again, r), 1);
        EXPECT_TRUE(samePixels(before, again)) << colour;
    }
}

TEST(LevelsPicture, GreyUsesEqualWeights) {
    imaging::Bitmap target;
    target.create(2, 2, 0x30C060);
    LevelsPicture p;
    p.attach(&target);
    p.grey();
    // (48 * 333 + 192 * 333 + 96 * 334 + 500) / 1000 = 112
    EXPECT_EQ(target.pixel(1, 1), 0x707070u);
}

TEST(ColourBatch, UntouchedRecordsKeepPixelsAndCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    registerPictureTools();
    ASSERT_TRUE(BatchHandOver::hasOperation(EditTool::Colour));
    ScratchDir dir;
    const std::string png = dir.file("flat.png");
    const std::string grey = dir.file("grey.png");
    const std::string jpeg = dir.file("camera.jpg");
    ASSERT_EQ(imaging::PictureSaver::save(gradient(40, 30), png, imaging::saveformat::kPng, 0), 1);
    ASSERT_EQ(imaging::PictureSaver::save(gradient(40, 30), grey, imaging::saveformat::kPng, 0), 1);
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), jpeg);
    const JpegPropertyInfo before = JpegPropertyInfo::read(jpeg);

    // As the hand-over builds the job: fresh records, one file changed.
    BatchHandOver handOver;
    ASSERT_TRUE(handOver.begin(EditTool::Colour, {png, grey, jpeg}));
    std::vector<std::any> records = handOver.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(std::any_cast<ColourRecord>(records[0]).mode, ColourRecord::Levels);
    ColourRecord g;
    g.mode = ColourRecord::Grey;
    records[1] = g;
    handOver.cancel();

    BatchJob job;
    job.sources = {png, grey, jpeg};
    job.records = records;
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("output");
    job.step = [](imaging::Bitmap& b, const std::any* record, std::string&) {
        return LevelsPicture::runRecord(b, std::any_cast<ColourRecord>(*record));
    };
    Events events;
    std::atomic<bool> stop{false};
    const BatchSummary s = BatchRunner(job).run(events, stop);
    EXPECT_EQ(s.written, 3);
    EXPECT_TRUE(events.failures.empty());

    imaging::Bitmap out, in;
    ASSERT_EQ(imaging::PictureFile::load(dir.file("output/flat.png"), out), 1);
    EXPECT_TRUE(samePixels(out, gradient(40, 30)));
    ASSERT_EQ(imaging::PictureFile::load(dir.file("output/grey.png"), out), 1);
    const uint32_t p = out.pixel(7, 3);
    EXPECT_EQ(p >> 16 & 255, p & 255);
    EXPECT_EQ(p >> 8 & 255, p & 255);
    ASSERT_EQ(imaging::PictureFile::load(jpeg, in), 1);
    ASSERT_EQ(imaging::PictureFile::load(dir.file("output/camera.jpg"), out), 1);
    EXPECT_EQ(out.width(), in.width());
    const JpegPropertyInfo after = JpegPropertyInfo::read(dir.file("output/camera.jpg"));
    for (uint16_t tag : {uint16_t(271), uint16_t(272), uint16_t(36867), uint16_t(33434)}) {
        ASSERT_EQ(before.has(tag), after.has(tag)) << tag;
        if (before.has(tag)) {
            EXPECT_EQ(before.item(tag)->text, after.item(tag)->text) << tag;
        }
    }
}

namespace {

kamelo::imaging::Bitmap noisy(int w, int h) {
    kamelo::imaging::Bitmap b;
    b.allocate(w, h);
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.row(y);
        for (int x = 0; x < w * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            p[x] = uint8_t(seed >> 24);
        }
    }
    return b;
}

kamelo::imaging::Bitmap mapped(const kamelo::imaging::Bitmap& source,
                               const kamelo::edit::LevelsAdjuster& levels) {
    using kamelo::edit::LevelsAdjuster;
    kamelo::imaging::Bitmap out;
    kamelo::imaging::ColorOps::mapTables(source, out, levels.table(LevelsAdjuster::kRed),
                                         levels.table(LevelsAdjuster::kGreen),
                                         levels.table(LevelsAdjuster::kBlue));
    return out;
}

} // namespace

TEST(LevelsPreview, DragStepsLeaveTheTargetAndFinishGivesTheExactResult) {
    using namespace kamelo;
    const imaging::Bitmap original = noisy(640, 480);
    imaging::Bitmap target = original;
    edit::LevelsPicture picture;
    ASSERT_EQ(picture.attach(&target), 1);
    for (int black : {5, 30, 60}) {
        picture.levels().setLevelSet(0, {black, 1.4, 230, 10, 250});
        const imaging::Bitmap* small = picture.applyPreview(160, 160);
        ASSERT_NE(small, nullptr);
        // Fitted inside the shown size, keeping the proportions.
        EXPECT_EQ(small->width(), 160);
        EXPECT_EQ(small->height(), 120);
        EXPECT_TRUE(picture.previewPending());
        EXPECT_TRUE(kamelo::imaging::samePixels(target, original)); // the whole picture waits
    }
    // The small copy went through the same tables as the whole picture will.
    imaging::Bitmap smallBase;
    ASSERT_EQ(imaging::Resize::scaled(original, 160, 120, imaging::Resize::kResample, smallBase),
              1);
    EXPECT_TRUE(kamelo::imaging::samePixels(*picture.applyPreview(160, 160),
                                            mapped(smallBase, picture.levels())));
    ASSERT_EQ(picture.finish(), 1);
    EXPECT_FALSE(picture.previewPending());
    EXPECT_TRUE(kamelo::imaging::samePixels(target, mapped(original, picture.levels())));
}

TEST(LevelsPreview, APictureNoLargerThanTheViewTakesTheLevelsItself) {
    using namespace kamelo;
    const imaging::Bitmap original = noisy(100, 50);
    imaging::Bitmap target = original;
    edit::LevelsPicture picture;
    ASSERT_EQ(picture.attach(&target), 1);
    picture.levels().setLevelSet(0, {20, 0.8, 200, 0, 255});
    EXPECT_EQ(picture.applyPreview(100, 100), nullptr);
    EXPECT_FALSE(picture.previewPending());
    EXPECT_TRUE(kamelo::imaging::samePixels(target, mapped(original, picture.levels())));
}

TEST(LevelsPreview, ApplyAndGreyStartFromTheFullLevelsNotThePreview) {
    using namespace kamelo;
    const imaging::Bitmap original = noisy(300, 200);
    imaging::Bitmap target = original;
    edit::LevelsPicture picture;
    ASSERT_EQ(picture.attach(&target), 1);
    picture.levels().setLevelSet(0, {40, 1.0, 255, 0, 255});
    ASSERT_NE(picture.applyPreview(30, 30), nullptr);
    const imaging::Bitmap expected = mapped(original, picture.levels());
    // "적 용" takes the levelled picture as the new base, not the stale one.
    ASSERT_EQ(picture.takeAsBase(), 1);
    EXPECT_TRUE(kamelo::imaging::samePixels(target, expected));
    EXPECT_TRUE(picture.levels().isIdentity());
    // Grey after a drag greys the levelled picture.
    picture.levels().setLevelSet(0, {0, 2.0, 255, 0, 255});
    ASSERT_NE(picture.applyPreview(30, 30), nullptr);
    imaging::Bitmap grey = mapped(expected, picture.levels());
    ASSERT_EQ(imaging::ColorOps::grayScale(grey, 333, 333, 334), 1);
    ASSERT_EQ(picture.grey(), 1);
    EXPECT_TRUE(kamelo::imaging::samePixels(target, grey));
}
