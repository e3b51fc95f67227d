// The wallpaper beyond GNOME: Cinnamon and MATE through GSettings with test
// schemas, XFCE through a stand-in xfconf-query, KDE Plasma and the desktop
// portal through stand-in services on a private session bus.
#include "base/settingsstore.h"
#include "desktop/core/wallpaperrules.h"
#include "desktop/wallpapersetter.h"
#include "imaging/bitmap.h"
#include "resources/qtstrings.h"
#include "tests/support/metadatadump.h"
#include "tests/support/watchdog.h"

#include <QCoreApplication>

#undef signals
#include <gio/gio.h>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::desktop;
namespace fs = std::filesystem;

namespace {

std::string gBase;

std::string run(const std::string& command) {
    return kamelo::test::commandLine(command);
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void spill(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

imaging::Bitmap picture() {
    imaging::Bitmap b;
    b.create(64, 48, 0x3366CC);
    return b;
}

// Each test its own settings, so no backup carries over.
std::string freshStore() {
    static int n = 0;
    return gBase + "/config/Halvern/Kamelo" + std::to_string(++n) + ".sqlite";
}

std::string ours(const char* sub) {
    return gBase + "/data/kamelo/" + sub + "/PICWALL.BMP";
}

class Wallpaper : public ::testing::Test {
protected:
    test::Watchdog watchdog{90};
    SettingsStore store{freshStore()};
    WallpaperSetter setter{store};
    const QSize screen{1024, 768};
    const std::string log = gBase + "/log";

    void SetUp() override {
        fs::remove_all(gBase + "/data/kamelo");
        fs::remove(log);
    }
    void TearDown() override { ::unsetenv("XDG_CURRENT_DESKTOP"); }
};

// ---- Cinnamon and MATE ----

struct GSettingsCase {
    const char* desktop;
    const char* schema;
    const char* pictureKey;
    const char* oldPicture; // as the key holds it
    bool path;              // the key holds a path, not a URI
};

const GSettingsCase kGSettingsCases[] = {
    {"X-Cinnamon", "org.cinnamon.desktop.background", "picture-uri",
     "'file:///usr/share/backgrounds/old%20one.jpg'", false},
    {"MATE", "org.mate.background", "picture-filename", "'/usr/share/backgrounds/old one.jpg'",
     true},
};

class GSettingsDesktops : public Wallpaper, public ::testing::WithParamInterface<GSettingsCase> {
protected:
    std::string get(const char* key) {
        return run(std::string("gsettings get ") + GetParam().schema + " " + key);
    }
    // In this process, whose GSettings would not see the tool's change
    // before its main loop ran.
    void put(const char* key, const std::string& quoted) {
        GSettings* settings = g_settings_new(GetParam().schema);
        const std::string value = quoted.substr(1, quoted.size() - 2);
        ASSERT_TRUE(g_settings_set_string(settings, key, value.c_str()));
        g_settings_sync();
        g_object_unref(settings);
    }
    std::string expected(const char* sub) {
        const std::string p = ours(sub);
        return "'" + (GetParam().path ? p : WallpaperRules::fileUri(p)) + "'";
    }
};

TEST_P(GSettingsDesktops, EachPlacementThenRestore) {
    ::setenv("XDG_CURRENT_DESKTOP", GetParam().desktop, 1);
    put(GetParam().pictureKey, GetParam().oldPicture);
    put("picture-options", "'zoom'");
    const struct {
        int command;
        const char* sub;
        const char* options;
    } steps[] = {{1254, "a", "'centered'"}, {1255, "b", "'wallpaper'"}, {1260, "a", "'centered'"}};
    for (const auto& step : steps) {
        ASSERT_EQ(setter.setFromBitmap(picture(), step.command, screen), QString());
        EXPECT_EQ(get(GetParam().pictureKey), expected(step.sub));
        EXPECT_EQ(get("picture-options"), step.options);
    }
    ASSERT_EQ(setter.restore(), QString());
    EXPECT_EQ(get(GetParam().pictureKey), GetParam().oldPicture);
    EXPECT_EQ(get("picture-options"), "'zoom'");
}

INSTANTIATE_TEST_SUITE_P(Each, GSettingsDesktops, ::testing::ValuesIn(kGSettingsCases),
                         [](const ::testing::TestParamInfo<GSettingsCase>& info) {
                             std::string name;
                             for (const char* c = info.param.desktop; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

// ---- XFCE ----

class Xfce : public Wallpaper {
protected:
    const std::string storeDir = gBase + "/xfconf";
    const std::string ws0 = "/backdrop/screen0/monitor0/workspace0/";
    const std::string ws1 = "/backdrop/screen0/monitor0/workspace1/";
    const std::string hdmi = "/backdrop/screen0/monitorHDMI-1/workspace0/";

    void SetUp() override {
        Wallpaper::SetUp();
        fs::remove_all(storeDir);
        ::setenv("XFCONF_STORE", storeDir.c_str(), 1);
        ::setenv("XFCONF_LOG", log.c_str(), 1);
        ::setenv("XDG_CURRENT_DESKTOP", "XFCE", 1);
        // Two workspaces on one monitor; another monitor never given a style.
        spill(storeDir + ws0 + "last-image", "/usr/share/backgrounds/xfce/blue.png");
        spill(storeDir + ws0 + "image-style", "5");
        spill(storeDir + ws1 + "last-image", "/home/u/사진 1.jpg");
        spill(storeDir + ws1 + "image-style", "3");
        spill(storeDir + hdmi + "last-image", "/usr/share/backgrounds/xfce/red.png");
        spill(storeDir + "/desktop-icons/style", "2");
    }
    std::string value(const std::string& property) {
        return fs::exists(storeDir + property) ? slurp(storeDir + property) : "(absent)";
    }
};

TEST_F(Xfce, EveryMonitorAndWorkspaceTakesEachPlacement) {
    const struct {
        int command;
        const char* sub;
        const char* style;
    } steps[] = {{1254, "a", "1"}, {1259, "b", "2"}, {1256, "a", "1"}};
    for (const auto& step : steps) {
        ASSERT_EQ(setter.setFromBitmap(picture(), step.command, screen), QString());
        for (const std::string& ws : {ws0, ws1, hdmi}) {
            EXPECT_EQ(value(ws + "last-image"), ours(step.sub)) << ws;
            EXPECT_EQ(value(ws + "image-style"), step.style) << ws;
        }
    }
    EXPECT_EQ(value("/desktop-icons/style"), "2");
}

TEST_F(Xfce, RestorePutsBackEachPropertyAndRemovesTheAddedOnes) {
    ASSERT_EQ(setter.setFromBitmap(picture(), 1255, screen), QString());
    ASSERT_EQ(setter.setFromBitmap(picture(), 1254, screen), QString());
    ASSERT_EQ(setter.restore(), QString());
    EXPECT_EQ(value(ws0 + "last-image"), "/usr/share/backgrounds/xfce/blue.png");
    EXPECT_EQ(value(ws0 + "image-style"), "5");
    EXPECT_EQ(value(ws1 + "last-image"), "/home/u/사진 1.jpg");
    EXPECT_EQ(value(ws1 + "image-style"), "3");
    EXPECT_EQ(value(hdmi + "last-image"), "/usr/share/backgrounds/xfce/red.png");
    EXPECT_EQ(value(hdmi + "image-style"), "(absent)");
}

TEST_F(Xfce, AFreshDesktopGetsItsFirstBackdrop) {
    fs::remove_all(storeDir + "/backdrop");
    ASSERT_EQ(setter.setFromBitmap(picture(), 1254, screen), QString());
    EXPECT_EQ(value(ws0 + "last-image"), ours("a"));
    EXPECT_EQ(value(ws0 + "image-style"), "1");
    ASSERT_EQ(setter.restore(), QString());
    EXPECT_EQ(value(ws0 + "last-image"), "(absent)");
}

// ---- Services on the session bus ----

class BusService {
public:
    BusService(const char* mode, const std::string& log, const std::string& arg) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::execl(FAKE_SERVICE, FAKE_SERVICE, mode, log.c_str(), arg.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        char buf[6] = {};
        ready_ = ::read(fds[0], buf, 6) == 6 && std::string(buf, 6) == "ready\n";
        ::close(fds[0]);
    }
    ~BusService() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST_F(Wallpaper, PlasmaSetsEveryDesktopAndRestoresEachOne) {
    ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    const std::string report = gBase + "/plasma-report";
    spill(report, "1\torg.kde.image\tfile:///usr/share/wallpapers/Next.png\t2\n"
                  "7\torg.kde.color\tfile:///home/u/a\\tb.png\t6\n");
    BusService shell("plasma", log, report);
    ASSERT_TRUE(shell.ready());

    // The stand-in keeps reporting the old wallpaper, so ours stays in "a".
    const struct {
        int command;
        const char* sub;
        const char* fillMode;
    } steps[] = {{1258, "a", "6"}, {1255, "a", "3"}, {1256, "a", "6"}};
    for (const auto& step : steps) {
        fs::remove(log);
        ASSERT_EQ(setter.setFromBitmap(picture(), step.command, screen), QString());
        const std::string scripts = slurp(log);
        EXPECT_NE(scripts.find("desktops()"), std::string::npos);
        const std::string entry = "[\"\", \"org.kde.image\", \"" +
                                  WallpaperRules::fileUri(ours(step.sub)) + "\", \"" +
                                  step.fillMode + "\"]";
        EXPECT_NE(scripts.find(entry), std::string::npos) << scripts;
    }
    fs::remove(log);
    ASSERT_EQ(setter.restore(), QString());
    const std::string script = slurp(log);
    for (const char* entry :
         {R"(["1", "org.kde.image", "file:///usr/share/wallpapers/Next.png", "2"])",
          R"(["7", "org.kde.color", "file:///home/u/a\u0009b.png", "6"])",
          R"(["", "org.kde.image", "file:///usr/share/wallpapers/Next.png", "2"])"})
        EXPECT_NE(script.find(entry), std::string::npos) << entry << "\n" << script;
}

TEST_F(Wallpaper, PortalTakesTheFileAndSaysItCannotPlace) {
    ::setenv("XDG_CURRENT_DESKTOP", "Hyprland", 1);
    {
        BusService portal("portal", log, "0");
        ASSERT_TRUE(portal.ready());
        for (int command : {1254, 1255, 1256}) {
            fs::remove(log);
            EXPECT_EQ(setter.setFromBitmap(picture(), command, screen),
                      res::qtext(res::IDS_WALLPAPER_PORTAL_NOTE));
            EXPECT_TRUE(setter.lastIsNote());
            // Not knowing the current wallpaper, ours always goes to "a".
            EXPECT_EQ(slurp(log),
                      "parent= file=" + ours("a") + " show-preview=false set-on='background'\n");
        }
        EXPECT_EQ(setter.restore(), res::qtext(res::IDS_WALLPAPER_NO_BACKUP));
    }
    {
        BusService portal("portal", log, "1");
        ASSERT_TRUE(portal.ready());
        const QString message = setter.setFromBitmap(picture(), 1254, screen);
        EXPECT_TRUE(message.startsWith(res::qtext(res::IDS_MSG_WALLPAPER_FAILED)))
            << message.toStdString();
        EXPECT_FALSE(setter.lastIsNote());
    }
    // Without a portal nor a desktop of its own, nothing is changed.
    EXPECT_EQ(setter.setFromBitmap(picture(), 1254, screen),
              res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED));
}

const char* const kSchemas = R"(<schemalist>
  <enum id="kamelo.test.options">
    <value nick="none" value="0"/><value nick="wallpaper" value="1"/>
    <value nick="centered" value="2"/><value nick="scaled" value="3"/>
    <value nick="stretched" value="4"/><value nick="zoom" value="5"/>
    <value nick="spanned" value="6"/>
  </enum>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" enum="kamelo.test.options"><default>'zoom'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
    <key name="picture-options" enum="kamelo.test.options"><default>'zoom'</default></key>
  </schema>
</schemalist>
)";

} // namespace

int main(int argc, char** argv) {
    // Before anything asks GLib for its folders, schemas, back end or bus.
    char tmpl[] = "/tmp/kamelo wallpaper 바탕XXXXXX";
    if (!::mkdtemp(tmpl))
        return 2;
    gBase = tmpl;
    for (const char* sub : {"config", "data", "cache", "schemas", "bin"})
        fs::create_directories(gBase + "/" + sub);
    ::setenv("XDG_CONFIG_HOME", (gBase + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (gBase + "/data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (gBase + "/cache").c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    spill(gBase + "/schemas/kamelo-test.gschema.xml", kSchemas);
    if (std::system(("glib-compile-schemas '" + gBase + "/schemas'").c_str()) != 0) {
        std::fprintf(stderr, "glib-compile-schemas failed\n");
        return 2;
    }
    ::setenv("GSETTINGS_SCHEMA_DIR", (gBase + "/schemas").c_str(), 1);
    fs::copy_file(FAKE_XFCONF_QUERY, gBase + "/bin/xfconf-query");
    ::setenv("PATH", (gBase + "/bin:" + std::getenv("PATH")).c_str(), 1);

    // A private session bus of our own, ended with the tests.
    const std::string bus =
        run("dbus-daemon --session --fork --print-address=1 --print-pid=1 </dev/null 2>/dev/null");
    const size_t newline = bus.find('\n');
    if (newline == std::string::npos) {
        std::fprintf(stderr, "dbus-daemon did not start: %s\n", bus.c_str());
        return 2;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.substr(0, newline).c_str(), 1);
    const pid_t busPid = std::atoi(bus.c_str() + newline + 1);

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    if (busPid > 0)
        ::kill(busPid, SIGTERM);
    fs::remove_all(gBase);
    return rc;
}
