#include "base/settingsstore.h"
#include "desktop/core/bmp24.h"
#include "desktop/core/registrytext.h"
#include "desktop/core/wallpaperrules.h"
#include "desktop/core/wallpaperservice.h"
#include "imaging/core/fitsize.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::desktop;

namespace {

class FakeBackend : public WallpaperBackend {
public:
    bool isAvailable = true;
    bool failWrite = false;
    WallpaperState state{"file:///usr/share/backgrounds/gnome/blobs-l.svg",
                         "file:///usr/share/backgrounds/gnome/blobs-d.svg", "zoom",
                         "fake\nscreen0=blobs-l\tscreen1=\"other\""};
    int writes = 0;
    bool available() override { return isAvailable; }
    bool read(WallpaperState& out, std::string&) override {
        out = state;
        return true;
    }
    bool write(const WallpaperState& s, std::string& error) override {
        if (failWrite) {
            error = "refused";
            return false;
        }
        ++writes;
        state = s;
        return true;
    }
};

bool writeBytes(const std::string& path, std::string&) {
    test::writeFile(path, "BM");
    return true;
}

} // namespace

TEST(FitSize, WidthOrHeightDecides) {
    EXPECT_EQ(fitSize(2000, 1000, 1024, 768).width, 1024);
    EXPECT_EQ(fitSize(2000, 1000, 1024, 768).height, 512);
    EXPECT_EQ(fitSize(800, 600, 1024, 768).width, 1024);
    EXPECT_EQ(fitSize(800, 600, 1024, 768).height, 768);
    // Taller than the box: full height, width truncated (768 * 1000 / 3000).
    EXPECT_EQ(fitSize(1000, 3000, 1024, 768).width, 256);
    EXPECT_EQ(fitSize(1000, 3000, 1024, 768).height, 768);
    EXPECT_EQ(fitSize(3, 1, 100, 100).height, 33);
    EXPECT_EQ(fitSize(0, 10, 100, 100).width, 0);
    EXPECT_EQ(fitSize(10, 10, 0, 100).height, 0);
}

TEST(WallpaperRules, SizesOnA1024x768Screen) {
    for (Placement p : {Placement::Center, Placement::Tile}) {
        const FitSize s = WallpaperRules::targetSize(800, 600, 1024, 768, p);
        EXPECT_EQ(s.width, 800);
        EXPECT_EQ(s.height, 600);
    }
    FitSize s = WallpaperRules::targetSize(800, 600, 1024, 768, Placement::Stretch);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    for (Placement p : {Placement::Center, Placement::Tile, Placement::Stretch}) {
        s = WallpaperRules::targetSize(2000, 1000, 1024, 768, p);
        EXPECT_EQ(s.width, 1024);
        EXPECT_EQ(s.height, 512);
    }
    // One side larger is enough; exactly the screen is not larger.
    s = WallpaperRules::targetSize(1025, 10, 1024, 768, Placement::Center);
    EXPECT_EQ(s.width, 1024);
    s = WallpaperRules::targetSize(1024, 768, 1024, 768, Placement::Tile);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    // A sliver keeps a pixel.
    s = WallpaperRules::targetSize(100000, 1, 1024, 768, Placement::Center);
    EXPECT_EQ(s.height, 1);
}

TEST(WallpaperRules, CommandsAndOptions) {
    EXPECT_EQ(WallpaperRules::placementForCommand(1254), Placement::Center);
    EXPECT_EQ(WallpaperRules::placementForCommand(1259), Placement::Tile);
    EXPECT_EQ(WallpaperRules::placementForCommand(1260), Placement::Stretch);
    EXPECT_FALSE(WallpaperRules::placementForCommand(1257));
    EXPECT_FALSE(WallpaperRules::placementForCommand(1253));
    EXPECT_FALSE(WallpaperRules::placementForId(3));
    EXPECT_FALSE(WallpaperRules::placementForId(-1));
    EXPECT_TRUE(WallpaperRules::isRestoreCommand(1261));
    EXPECT_STREQ(WallpaperRules::pictureOption(Placement::Tile), "wallpaper");
    EXPECT_STREQ(WallpaperRules::pictureOption(Placement::Center), "centered");
    EXPECT_STREQ(WallpaperRules::pictureOption(Placement::Stretch), "centered");
}

TEST(WallpaperRules, FileUrisRoundTrip) {
    const std::string path = "/tmp/새 폴더/a b%#?.bmp";
    const std::string uri = WallpaperRules::fileUri(path);
    EXPECT_EQ(uri.find(' '), std::string::npos);
    EXPECT_EQ(uri.rfind("file:///tmp/%EC%83%88%20", 0), 0u) << uri;
    EXPECT_EQ(WallpaperRules::pathOfFileUri(uri), path);
    EXPECT_EQ(WallpaperRules::pathOfFileUri("file://localhost/x/y"), "/x/y");
    EXPECT_FALSE(WallpaperRules::pathOfFileUri("http://host/x"));
    EXPECT_FALSE(WallpaperRules::pathOfFileUri("file:///x%2"));
    EXPECT_FALSE(WallpaperRules::pathOfFileUri("file:///x%00y"));
    EXPECT_FALSE(WallpaperRules::pathOfFileUri(""));
}

TEST(WallpaperRules, AlternatingFolders) {
    const std::string a = WallpaperRules::wallpaperPath("/d h", "");
    EXPECT_EQ(a, "/d h/kamelo/a/PICWALL.BMP");
    const std::string b = WallpaperRules::wallpaperPath("/d h/", WallpaperRules::fileUri(a));
    EXPECT_EQ(b, "/d h/kamelo/b/PICWALL.BMP");
    EXPECT_EQ(WallpaperRules::wallpaperPath("/d h", WallpaperRules::fileUri(b)), a);
    EXPECT_TRUE(WallpaperRules::isProgramWallpaper(WallpaperRules::fileUri(b)));
    EXPECT_FALSE(WallpaperRules::isProgramWallpaper("file:///x/picwall.bmp.png"));
}

TEST(Bmp24, HeaderAndBottomUpRows) {
    // 2 x 2, stride 8: top row red green, bottom row blue white.
    const uint8_t bits[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    const std::vector<uint8_t> f = encodeBmp24(2, 2, 8, bits);
    ASSERT_EQ(f.size(), 54u + 16u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(f[2], 70);
    EXPECT_EQ(f[22], 2); // positive height
    // First stored row is the bottom one.
    EXPECT_EQ(f[54], 255);
    EXPECT_EQ(f[54 + 8 + 2], 255);
    EXPECT_TRUE(encodeBmp24(0, 2, 8, bits).empty());
    EXPECT_TRUE(encodeBmp24(3, 2, 8, bits).empty());
}

class WallpaperServiceTest : public ::testing::Test {
protected:
    test::ScratchDir dir;
    SettingsStore store{dir.file("s.sqlite")};
    FakeBackend backend;
    WallpaperService service{backend, store, dir.file("data 한글")};
};

TEST_F(WallpaperServiceTest, TwoSetsKeepTheFirstBackupAndRestoreIsExact) {
    const WallpaperState before = backend.state;
    ASSERT_EQ(service.set(1, writeBytes).outcome, WallpaperOutcome::Done);
    EXPECT_EQ(backend.state.pictureOptions, "wallpaper");
    const std::string first = backend.state.pictureUri;
    EXPECT_EQ(WallpaperRules::pathOfFileUri(first), dir.file("data 한글/kamelo/a/PICWALL.BMP"));
    ASSERT_EQ(service.set(0, writeBytes).outcome, WallpaperOutcome::Done);
    EXPECT_NE(backend.state.pictureUri, first); // the other folder
    EXPECT_EQ(backend.state.pictureOptions, "centered");

    RegistryText reg(store);
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevPictureUri", ""), before.pictureUri);
    EXPECT_EQ(reg.read("control panel\\desktop", "prevwallpaper", ""),
              "/usr/share/backgrounds/gnome/blobs-l.svg");
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevTileWallpaper", ""), "0");
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevWallpaperStyle", ""), "10");

    ASSERT_EQ(service.restore().outcome, WallpaperOutcome::Done);
    EXPECT_EQ(backend.state, before);
    // The backup stays for another restore.
    EXPECT_TRUE(service.hasBackup());
}

TEST_F(WallpaperServiceTest, AnEmptyUriIsARealStateAndComesBack) {
    backend.state = {"", "", "none", ""};
    ASSERT_EQ(service.set(2, writeBytes).outcome, WallpaperOutcome::Done);
    ASSERT_EQ(service.restore().outcome, WallpaperOutcome::Done);
    EXPECT_EQ(backend.state, (WallpaperState{"", "", "none", ""}));
}

TEST_F(WallpaperServiceTest, NoBackupChangesNothing) {
    EXPECT_EQ(service.restore().outcome, WallpaperOutcome::NoBackup);
    EXPECT_EQ(backend.writes, 0);
}

TEST_F(WallpaperServiceTest, FailuresChangeNothing) {
    const WallpaperState before = backend.state;
    auto broken = [](const std::string&, std::string& e) {
        e = "broken";
        return false;
    };
    WallpaperResult r = service.set(0, broken);
    EXPECT_EQ(r.outcome, WallpaperOutcome::Failed);
    EXPECT_EQ(r.detail, "broken");
    EXPECT_EQ(backend.writes, 0);
    EXPECT_FALSE(service.hasBackup());
    EXPECT_EQ(service.set(3, writeBytes).outcome, WallpaperOutcome::BadPlacement);
    backend.isAvailable = false;
    EXPECT_EQ(service.set(0, writeBytes).outcome, WallpaperOutcome::NotSupported);
    EXPECT_EQ(service.restore().outcome, WallpaperOutcome::NotSupported);
    EXPECT_FALSE(std::filesystem::exists(dir.file("data 한글/kamelo/a/PICWALL.BMP")));
    backend.isAvailable = true;
    backend.failWrite = true;
    EXPECT_EQ(service.set(0, writeBytes).outcome, WallpaperOutcome::Failed);
    EXPECT_EQ(backend.state, before);
}
