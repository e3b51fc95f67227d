// The wallpaper on GNOME through GSettings' key-file back end, read back with
// the gsettings tool, in folders whose names hold a space and Hangul.
#include "base/settingsstore.h"
#include "desktop/core/registrytext.h"
#include "desktop/core/wallpaperrules.h"
#include "desktop/wallpapersetter.h"
#include "imaging/bitmap.h"
#include "resources/qtstrings.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace kamelo;
using namespace kamelo::desktop;

namespace {

std::string gBase;

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string run(const std::string& command) {
    return kamelo::test::commandLine(command);
}

std::string get(const char* key) {
    return run(std::string("gsettings get org.gnome.desktop.background ") + key);
}

void put(const char* key, const std::string& value) {
    ASSERT_EQ(std::system((std::string("gsettings set org.gnome.desktop.background ") + key + " " +
                           shellQuote(value))
                              .c_str()),
              0);
}

// Width, height and bits per pixel of a BMP file.
std::array<int, 3> bmpHeader(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t h[30] = {};
    in.read(reinterpret_cast<char*>(h), 30);
    auto le32 = [&](int at) {
        return int(h[at] | h[at + 1] << 8 | h[at + 2] << 16 | h[at + 3] << 24);
    };
    return {le32(18), le32(22), h[28] | h[29] << 8};
}

std::string pathOf(const std::string& quotedUri) {
    // 'file:///...'
    return WallpaperRules::pathOfFileUri(quotedUri.substr(1, quotedUri.size() - 2)).value_or("");
}

imaging::Bitmap picture(int w, int h) {
    imaging::Bitmap b;
    b.create(w, h, 0x3366CC);
    return b;
}

class GnomeWallpaper : public ::testing::Test {
protected:
    test::Watchdog watchdog{60};
    SettingsStore store{gBase + "/config/Halvern/Kamelo.sqlite"};
    WallpaperSetter setter{store};
    const QSize screen{1024, 768};

    void SetUp() override {
        ::setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
        put("picture-uri", "file:///usr/share/backgrounds/old%20one.png");
        put("picture-uri-dark", "file:///usr/share/backgrounds/old-dark.png");
        put("picture-options", "zoom");
    }
};

} // namespace

TEST_F(GnomeWallpaper, EachPlacementReadsBack) {
    ASSERT_EQ(setter.setFromBitmap(picture(800, 600), 1254, screen), QString());
    EXPECT_EQ(get("picture-options"), "'centered'");
    std::string file = pathOf(get("picture-uri"));
    EXPECT_EQ(file, gBase + "/data/kamelo/a/PICWALL.BMP");
    EXPECT_EQ(get("picture-uri-dark"), get("picture-uri"));
    EXPECT_EQ(bmpHeader(file), (std::array<int, 3>{800, 600, 24}));

    ASSERT_EQ(setter.setFromBitmap(picture(800, 600), 1259, screen), QString());
    EXPECT_EQ(get("picture-options"), "'wallpaper'");
    file = pathOf(get("picture-uri"));
    EXPECT_EQ(file, gBase + "/data/kamelo/b/PICWALL.BMP");
    EXPECT_EQ(bmpHeader(file), (std::array<int, 3>{800, 600, 24}));

    ASSERT_EQ(setter.setFromBitmap(picture(800, 600), 1256, screen), QString());
    EXPECT_EQ(get("picture-options"), "'centered'");
    EXPECT_EQ(bmpHeader(pathOf(get("picture-uri"))), (std::array<int, 3>{1024, 768, 24}));

    for (int command : {1254, 1255, 1260}) {
        ASSERT_EQ(setter.setFromBitmap(picture(2000, 1000), command, screen), QString());
        EXPECT_EQ(bmpHeader(pathOf(get("picture-uri"))), (std::array<int, 3>{1024, 512, 24}));
    }
}

TEST_F(GnomeWallpaper, TwoSetsKeepTheFirstAndRestoreIsExact) {
    ASSERT_EQ(setter.setFromBitmap(picture(64, 48), 1255, screen), QString());
    ASSERT_EQ(setter.setFromBitmap(picture(64, 48), 1256, screen), QString());
    RegistryText reg(store);
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevPictureUri", ""),
              "file:///usr/share/backgrounds/old%20one.png");
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevWallpaper", ""),
              "/usr/share/backgrounds/old one.png");
    EXPECT_EQ(reg.read("Control Panel\\Desktop", "PrevPictureOptions", ""), "zoom");
    ASSERT_EQ(setter.restore(), QString());
    EXPECT_EQ(get("picture-uri"), "'file:///usr/share/backgrounds/old%20one.png'");
    EXPECT_EQ(get("picture-uri-dark"), "'file:///usr/share/backgrounds/old-dark.png'");
    EXPECT_EQ(get("picture-options"), "'zoom'");
}

TEST_F(GnomeWallpaper, FromAFileOnDisk) {
    test::ScratchDir dir;
    ASSERT_EQ(setter.setFromBitmap(picture(30, 20), 1254, screen), QString());
    std::filesystem::copy_file(pathOf(get("picture-uri")), dir.file("사진 1.bmp"));
    ASSERT_EQ(setter.setFromFile(QString::fromStdString(dir.file("사진 1.bmp")), 1256, screen),
              QString());
    EXPECT_EQ(bmpHeader(pathOf(get("picture-uri"))), (std::array<int, 3>{1024, 682, 24}));
}

TEST_F(GnomeWallpaper, NoBackupABrokenPictureAndAnotherDesktopChangeNothing) {
    EXPECT_EQ(setter.restore(), res::qtext(res::IDS_WALLPAPER_NO_BACKUP));
    EXPECT_EQ(get("picture-options"), "'zoom'");

    test::ScratchDir dir;
    test::writeFile(dir.file("broken.jpg"), std::string("\xFF\xD8\xFF\xE0 not a jpeg", 16));
    const QString message =
        setter.setFromFile(QString::fromStdString(dir.file("broken.jpg")), 1254, screen);
    EXPECT_TRUE(message.startsWith(res::qtext(res::IDS_MSG_WALLPAPER_FAILED)))
        << message.toStdString();
    EXPECT_EQ(get("picture-uri"), "'file:///usr/share/backgrounds/old%20one.png'");
    EXPECT_EQ(get("picture-options"), "'zoom'");
    EXPECT_FALSE(RegistryText(store).find("Control Panel\\Desktop", "PrevPictureUri"));

    EXPECT_EQ(setter.setFromBitmap(picture(10, 10), 1257, screen),
              res::qtext(res::IDS_MSG_BAD_WALLPAPER_ID));

    ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    EXPECT_EQ(setter.setFromBitmap(picture(10, 10), 1254, screen),
              res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED));
    EXPECT_EQ(setter.restore(), res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED));
    ::unsetenv("XDG_CURRENT_DESKTOP");
    EXPECT_EQ(setter.setFromBitmap(picture(10, 10), 1254, screen),
              res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED));
    EXPECT_EQ(get("picture-uri"), "'file:///usr/share/backgrounds/old%20one.png'");
    EXPECT_FALSE(std::filesystem::exists(gBase + "/data/kamelo/a/PICWALL.BMP"));
}

int main(int argc, char** argv) {
    // Before anything asks GLib for its folders or back end.
    char tmpl[] = "/tmp/kamelo wallpaper 배경XXXXXX";
    if (!::mkdtemp(tmpl))
        return 2;
    gBase = tmpl;
    for (const char* sub : {"config", "data", "cache"})
        std::filesystem::create_directories(gBase + "/" + sub);
    ::setenv("XDG_CONFIG_HOME", (gBase + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (gBase + "/data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (gBase + "/cache").c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    // Another desktop must find no portal: never the real session's.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::filesystem::remove_all(gBase);
    return rc;
}
