// kamelo-cli thumbs stores sRGB cells for pictures with colour profiles, the
// pictures' own values when colour management is off in the settings, and
// starts the cache afresh when that setting changes.
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "tests/cli/clirunner.h"
#include "tests/support/colourpictures.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::test::cli;
using kamelo::test::CliResult;
using kamelo::test::ScratchDir;
namespace tc = kamelo::testing::colour;

namespace {

constexpr uint32_t kColour = 0xD04030;

// The middle of the picture's cell in the pair the run stored.
uint32_t storedColour(const std::string& base) {
    std::vector<kamelo::CThumbData> records;
    kamelo::ThumbImageList images;
    if (!kamelo::ThumbArchive::readFile(base + ".lis", records) ||
        !kamelo::ThumbImageListFile::readFile(base + ".cac", images))
        return 0xFFFFFFFF;
    for (const kamelo::CThumbData& d : records)
        if (!d.isFolder() && size_t(d.imageIndex) < images.images.size()) {
            const int x = (d.pictureRect.left + d.pictureRect.right) / 2;
            const int y = (d.pictureRect.top + d.pictureRect.bottom) / 2;
            const uint8_t* p =
                images.images[size_t(d.imageIndex)].data() + (size_t(y) * images.width + x) * 3;
            return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    return 0xFFFFFFFF;
}

} // namespace

TEST(KameloCliColourThumbs, CellsFollowTheColourSetting) {
    ScratchDir dir;
    const std::string photos = dir.file("photos"), cache = dir.file("cache");
    std::filesystem::create_directories(photos);
    tc::writeBytes(photos + "/p3.jpg", tc::solidJpeg(640, 480, kColour, tc::p3Profile()));

    struct Step {
        const char* management; // the stored setting, or none
        uint32_t expected;
    };
    const Step steps[] = {{nullptr, tc::expectedSrgb(tc::p3Profile(), kColour)},
                          {"0", kColour},
                          {"1", tc::expectedSrgb(tc::p3Profile(), kColour)}};
    for (const Step& s : steps) {
        if (s.management) {
            ASSERT_EQ(
                cli(dir, {"settings", "set", "General", "Color Management", s.management}).code, 0);
        }
        const CliResult r = cli(dir, {"thumbs", photos, "--cache", cache});
        ASSERT_EQ(r.code, 0) << r.out;
        // Each change of the setting empties the cache: its numbering starts again.
        EXPECT_NE(r.out.find("cache: " + cache + "/0\n"), std::string::npos) << r.out;
        const uint32_t shown = storedColour(cache + "/0");
        EXPECT_TRUE(tc::near(shown, s.expected))
            << (s.management ? s.management : "default") << ": " << std::hex << shown
            << " != " << s.expected;
    }
}
