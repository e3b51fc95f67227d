// The wallpaper file is written in sRGB whatever the picture's profile, at
// its own size or scaled for the screen, from a file or the viewer's bitmap.
#include "base/settingsstore.h"
#include "desktop/core/wallpaperrules.h"
#include "desktop/wallpapersetter.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/picturefile.h"
#include "tests/support/colourpictures.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using namespace kamelo;
using namespace kamelo::desktop;
namespace tc = kamelo::testing::colour;

namespace {

constexpr uint32_t kColour = 0xD04030;
constexpr int kCentred = kCmdCenter, kStretched = kCmdStretch;

class RecordingBackend : public WallpaperBackend {
public:
    explicit RecordingBackend(WallpaperState& state) : state_(state) {}
    bool available() override { return true; }
    bool read(WallpaperState& out, std::string&) override {
        out = state_;
        return true;
    }
    bool write(const WallpaperState& s, std::string&) override {
        state_ = s;
        return true;
    }

private:
    WallpaperState& state_;
};

struct Row {
    const char* name;
    std::vector<uint8_t> (*profile)();
    int command;
    bool fromBitmap; // the viewer's picture, profile and all
    bool managed;
};

std::vector<uint8_t> none() {
    return {};
}

class WallpaperColour : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override { imaging::colour::DisplayColour::reset(); }
    test::ScratchDir dir;
};

TEST_P(WallpaperColour, TheFileIsSrgb) {
    const Row& row = GetParam();
    imaging::colour::DisplayColour::setEnabled(row.managed);
    const std::vector<uint8_t> icc = row.profile();
    const std::string picture = dir.file("p.jpg");
    tc::writeBytes(picture, tc::solidJpeg(400, 300, kColour, icc));

    SettingsStore store(dir.file("k.sqlite"));
    WallpaperState state;
    WallpaperSetter setter(store, std::make_unique<RecordingBackend>(state), dir.file("data"));
    const QSize screen(800, 600);
    if (row.fromBitmap) {
        imaging::Bitmap shown;
        ASSERT_GE(imaging::PictureFile::load(picture, shown), 1);
        const uint32_t before = shown.pixel(10, 10);
        ASSERT_EQ(setter.setFromBitmap(shown, row.command, screen), QString());
        EXPECT_EQ(shown.pixel(10, 10), before); // the viewer's picture keeps its values
    } else {
        ASSERT_EQ(setter.setFromFile(QString::fromStdString(picture), row.command, screen),
                  QString());
    }

    const auto file = WallpaperRules::pathOfFileUri(state.pictureUri);
    ASSERT_TRUE(file.has_value()) << state.pictureUri;
    imaging::Bitmap written;
    ASSERT_GE(imaging::PictureFile::load(*file, written), 1);
    const uint32_t expected =
        icc.empty() || !row.managed ? kColour : tc::expectedSrgb(icc, kColour);
    const uint32_t shown = written.pixel(written.width() / 2, written.height() / 2);
    EXPECT_TRUE(tc::near(shown, expected)) << std::hex << shown << " != " << expected;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, WallpaperColour,
    ::testing::Values(Row{"P3AtItsSize", tc::p3Profile, kCentred, false, true},
                      Row{"P3Stretched", tc::p3Profile, kStretched, false, true},
                      Row{"AdobeRgbFromTheViewer", tc::adobeRgbProfile, kCentred, true, true},
                      Row{"P3FromTheViewerStretched", tc::p3Profile, kStretched, true, true},
                      Row{"P3Unmanaged", tc::p3Profile, kCentred, false, false},
                      Row{"Untagged", none, kStretched, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
