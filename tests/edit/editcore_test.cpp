#include "base/settingsstore.h"
#include "edit/core/batchdestination.h"
#include "edit/core/conversionformat.h"
#include "edit/core/overwritestate.h"
#include "edit/core/pathparts.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

TEST(PathParts, SplitsFolderTitleAndUpperCasedExtension) {
    PathParts p = PathParts::split("/photos/2024/a.b.Jpeg");
    EXPECT_EQ(p.drive, "");
    EXPECT_EQ(p.directory, "/photos/2024/");
    EXPECT_EQ(p.title, "a.b");
    EXPECT_EQ(p.extension, "JPEG");
    p = PathParts::split("/photos.d/noext");
    EXPECT_EQ(p.directory, "/photos.d/");
    EXPECT_EQ(p.title, "noext");
    EXPECT_EQ(p.extension, "");
    p = PathParts::split("/x/.hidden");
    EXPECT_EQ(p.title, ".hidden");
    EXPECT_EQ(p.extension, "");
    p = PathParts::split("사진.png");
    EXPECT_EQ(p.directory, "");
    EXPECT_EQ(p.title, "사진");
    EXPECT_EQ(p.extension, "PNG");
}

TEST(BatchDestination, TheThreeModes) {
    EXPECT_EQ(BatchDestination::forSource("/a/b.gif", DestinationMode::Overwrite, "/out"),
              "/a/b.gif");
    EXPECT_EQ(BatchDestination::forSource("/a/b.gif", DestinationMode::Folder, "/out"),
              "/out/b.gif");
    EXPECT_EQ(BatchDestination::forSource("/a/b.gif", DestinationMode::Folder, "/out/"),
              "/out/b.gif");
    EXPECT_EQ(BatchDestination::forConversion("/a/b.gif", "PNG"), "/a/b.PNG");
    EXPECT_EQ(BatchDestination::forConversion("/a/b.tar.bmp", "JPG"), "/a/b.tar.JPG");
    // The same name in another case is the source itself on Linux too, so
    // converting a.jpg to JPG rewrites it instead of adding a.JPG beside it.
    EXPECT_EQ(BatchDestination::forConversion("/a/a.jpg", "JPG"), "/a/a.jpg");
    EXPECT_EQ(BatchDestination::forConversion("/a/a.PnG", "PNG"), "/a/a.PnG");
    EXPECT_EQ(BatchDestination::forConversion("/a/a.jpeg", "JPG"), "/a/a.JPG");
}

TEST(BatchDestination, CreatesEveryMissingLevelAndReportsWhatStandsInTheWay) {
    ScratchDir dir;
    EXPECT_EQ(BatchDestination::ensureFolder(dir.file("one/two/three")), 0);
    EXPECT_TRUE(fs::is_directory(dir.file("one/two/three")));
    EXPECT_EQ(BatchDestination::ensureFolder(dir.file("one/two/three/")), 0);
    kamelo::test::writeFile(dir.file("file"), "x");
    EXPECT_EQ(BatchDestination::ensureFolder(dir.file("file/sub")), ENOTDIR);
    EXPECT_EQ(BatchDestination::ensureFolder(dir.file("file")), ENOTDIR);
    EXPECT_NE(BatchDestination::ensureFolder(""), 0);
}

TEST(OverwriteState, FourAnswersAndEscape) {
    {
        OverwriteState s;
        EXPECT_EQ(s.decide(false), OverwriteState::Decision::Write);
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Ask);
        EXPECT_TRUE(s.answer(OverwriteAnswer::Yes));
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Ask);
        EXPECT_FALSE(s.answer(OverwriteAnswer::No));
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Ask);
        // Escape or the close box keeps the file.
        EXPECT_FALSE(s.answer(OverwriteAnswer::Closed));
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Ask);
    }
    {
        OverwriteState s;
        EXPECT_TRUE(s.answer(OverwriteAnswer::YesToAll));
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Write);
    }
    {
        OverwriteState s;
        EXPECT_FALSE(s.answer(OverwriteAnswer::NoToAll));
        EXPECT_EQ(s.decide(true), OverwriteState::Decision::Skip);
        // New destinations are still written.
        EXPECT_EQ(s.decide(false), OverwriteState::Decision::Write);
    }
}

TEST(JpegQualityScale, EndsAndLabels) {
    EXPECT_EQ(JpegQualityScale::factorAt(9), 2);
    EXPECT_EQ(JpegQualityScale::factorAt(0), 255);
    EXPECT_EQ(JpegQualityScale::factorAt(8), 29);
    EXPECT_EQ(JpegQualityScale::factorAt(-5), 255);
    EXPECT_EQ(JpegQualityScale::factorAt(42), 2);
    EXPECT_EQ(JpegQualityScale::labelIdAt(0), 1328);
    EXPECT_EQ(JpegQualityScale::labelIdAt(1), 1328);
    EXPECT_EQ(JpegQualityScale::labelIdAt(2), 61520);
    EXPECT_EQ(JpegQualityScale::labelIdAt(5), 61521);
    EXPECT_EQ(JpegQualityScale::labelIdAt(8), 61522);
    EXPECT_EQ(JpegQualityScale::labelIdAt(9), 61523);
    for (int p = 1; p < JpegQualityScale::kPositions; ++p)
        EXPECT_LT(JpegQualityScale::factorAt(p), JpegQualityScale::factorAt(p - 1));
}

TEST(ConvertSettings, DefaultsOutOfRangeValuesAndRoundTrip) {
    ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    ConvertSettings s = ConvertSettings::read(store);
    EXPECT_EQ(s.formatIndex, 0);
    EXPECT_EQ(s.sliderPosition, 8);
    EXPECT_STREQ(s.format().name, "BMP");
    store.setInt("General", "Convert Format Selected", 6);
    store.setInt("General", "Jpeg Quality Slider Pos", 12);
    s = ConvertSettings::read(store);
    EXPECT_EQ(s.formatIndex, 0);
    EXPECT_EQ(s.sliderPosition, 9);
    store.setInt("general", "convert format selected", -1);
    store.setInt("General", "Jpeg Quality Slider Pos", -3);
    s = ConvertSettings::read(store);
    EXPECT_EQ(s.formatIndex, 0);
    EXPECT_EQ(s.sliderPosition, 0);
    s.formatIndex = 1;
    s.sliderPosition = 9;
    ASSERT_TRUE(s.write(store));
    const ConvertSettings back = ConvertSettings::read(store);
    EXPECT_STREQ(back.format().name, "JPG");
    EXPECT_EQ(back.qualityFactor(), 2);
}

TEST(ConversionFormats, TheWebsFormatsFollowTheFourAndTakeTheQuality) {
    struct Expected {
        const char* name;
        bool quality;
    };
    const Expected expected[] = {{"BMP", false}, {"JPG", true},  {"PCX", false},
                                 {"PNG", false}, {"WEBP", true}, {"AVIF", true}};
    ASSERT_EQ(kConversionFormats.size(), std::size(expected));
    for (size_t i = 0; i < kConversionFormats.size(); ++i) {
        EXPECT_STREQ(kConversionFormats[i].name, expected[i].name);
        EXPECT_EQ(kConversionFormats[i].usesQuality, expected[i].quality) << expected[i].name;
    }
    EXPECT_EQ(kClassicConversionFormats, 4u);
    ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    store.setInt("General", "Convert Format Selected", 5);
    EXPECT_STREQ(ConvertSettings::read(store).format().name, "AVIF");
}
