// What Debian's xdg-mime and xdg-open make of the associations, under each
// desktop's branch of xdg-mime, for a build-tree copy (its own per-user entry)
// and an installed one (the package's kamelo.desktop, Exec found on PATH).
#include "base/settingsstore.h"
#include "desktop/core/associations.h"
#include "desktop/core/desktopentry.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::desktop;
namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command) {
    return kamelo::test::commandLine(command);
}

struct ExecCase {
    const char* path;
    const char* value; // as written in the file
};

const ExecCase kExecCases[] = {
    {"/usr/lib/kamelo/kamelo", "/usr/lib/kamelo/kamelo"},
    {"/home/사용자/빌드/bin/kamelo", "/home/사용자/빌드/bin/kamelo"},
    {"/opt/100%/kamelo", "/opt/100%%/kamelo"},
    {"/opt/a b/kamelo", "\"/opt/a b/kamelo\""},
    {"/opt/it's/kamelo", "\"/opt/it's/kamelo\""},
    {"/opt/$x/kamelo", "\"/opt/\\\\$x/kamelo\""},
    {"/opt/back\\slash/kamelo", "\"/opt/back\\\\\\\\slash/kamelo\""},
    {"/opt/\"q\"/kamelo", "\"/opt/\\\\\"q\\\\\"/kamelo\""},
    {"/opt/~me/(x)/kamelo", "\"/opt/~me/(x)/kamelo\""},
};

TEST(DesktopEntryExec, QuotedOnlyWhenReservedCharactersAskForIt) {
    for (const ExecCase& c : kExecCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DesktopEntry::execArgument(c.path), c.value);
        const std::string exec = std::string(c.value) + " %f";
        EXPECT_EQ(DesktopEntry::splitExec(exec).size(), 2u);
        EXPECT_EQ(DesktopEntry::commandWithoutFieldCodes(exec), c.path);
    }
}

struct Desktop {
    const char* name; // XDG_CURRENT_DESKTOP, or null for none
    const char* kdeSession;
};

const Desktop kDesktops[] = {
    {nullptr, nullptr}, {"GNOME", nullptr}, {"KDE", "5"}, {"XFCE", nullptr}};

class XdgDefaultsTest : public ::testing::TestWithParam<std::tuple<Desktop, bool>> {
protected:
    test::Watchdog watchdog{120};
    test::ScratchDir scratch;
    std::string base = scratch.file("xdg기본");
    std::string config = base + "/config";
    std::string data = base + "/data";
    std::string sys = base + "/sys";
    std::string program = base + "/prog/kamelo";
    std::string opened = base + "/opened.txt";
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Associations> assoc;
    bool installed = std::get<1>(GetParam());

    void SetUp() override {
        const Desktop desktop = std::get<0>(GetParam());
        for (const char* d : {"config", "data/applications", "sys/applications", "sysconfig",
                              "prog", "bin", "runtime"})
            fs::create_directories(base + "/" + d);
        // The "program" records what it was asked to open.
        test::writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened + "'\n");
        ::chmod(program.c_str(), 0755);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", sys.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (base + "/sysconfig").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (base + "/runtime").c_str(), 1);
        // No desktop tools on the path (no kreadconfig, ktraderclient, exo,
        // gio's desktop): xdg-mime falls back to the lists as it would
        // where they are missing.
        const std::string path = base + "/bin:/usr/bin:/bin";
        ::setenv("PATH", path.c_str(), 1);
        for (const char* v : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
                              "GNOME_DESKTOP_SESSION_ID", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP",
                              "DISPLAY", "WAYLAND_DISPLAY"})
            ::unsetenv(v);
        if (desktop.name)
            ::setenv("XDG_CURRENT_DESKTOP", desktop.name, 1);
        if (desktop.kdeSession)
            ::setenv("KDE_SESSION_VERSION", desktop.kdeSession, 1);
        // The previous default; its name sorts first, so xdg-mime's last
        // resort (any entry listing the type) would answer it, not ours.
        test::writeFile(sys + "/applications/aaa-viewer.desktop",
                        "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                        "MimeType=image/jpeg;image/png;\n");
        test::writeFile(config + "/mimeapps.list",
                        "[Default Applications]\nimage/jpeg=aaa-viewer.desktop;\n");
        // The MIME database, for the types of files xdg-open is given.
        fs::create_directory_symlink("/usr/share/mime", sys + "/mime");
        if (installed) {
            test::writeFile(sys + "/applications/kamelo.desktop", DesktopEntry::packagedTemplate());
            fs::create_symlink(program, base + "/bin/kamelo");
        }
        store = std::make_unique<SettingsStore>(base + "/s.sqlite");
        assoc = std::make_unique<Associations>(XdgDirs::fromEnvironment(), *store, program);
        assoc->setSearchPath(path);
    }
};

TEST_P(XdgDefaultsTest, XdgMimeAnswersTheEntryAndThePreviousDefaultAfterRemoval) {
    ASSERT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "aaa-viewer.desktop");
    EXPECT_EQ(assoc->installedEntry().empty(), !installed);
    ASSERT_TRUE(assoc->associate(0).ok);
    EXPECT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "kamelo.desktop");
    EXPECT_EQ(fs::exists(assoc->entryPath()), !installed);
    if (!installed) {
        EXPECT_EQ(DesktopEntry::keyValue(test::readFile(assoc->entryPath()), "Exec"),
                  program + " %f");
    }
    EXPECT_EQ(assoc->currentHandler(0), installed ? "kamelo" : program);

    // xdg-open: its own lookup when no desktop is named, gio under GNOME and
    // XFCE (without exo). Under KDE it hands over to kde-open5 alone, which
    // only KDE installs; there xdg-mime's answer above is what is checked.
    const char* name = std::get<0>(GetParam()).name;
    if (!name || std::string(name) != "KDE") {
        const std::string picture = base + "/사진.jpg";
        ASSERT_EQ(run("convert -size 4x4 xc:red '" + picture + "' 2>&1"), "");
        // A display is named (none is used) or xdg-open skips its lookup.
        run("DISPLAY=:99 xdg-open '" + picture + "' 2>/dev/null");
        // gio starts the program and returns without waiting for it.
        for (int i = 0; i < 200 && test::readFile(opened).empty(); ++i)
            ::usleep(50000);
        EXPECT_EQ(test::readFile(opened), picture + "\n");
    }

    ASSERT_TRUE(assoc->remove(0).ok);
    EXPECT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "aaa-viewer.desktop");
    EXPECT_FALSE(fs::exists(assoc->entryPath()));
    EXPECT_EQ(fs::exists(sys + "/applications/kamelo.desktop"), installed);
}

// An entry an earlier version left in the user's folder: the installed copy
// drops it (it would hide the package's), a build-tree copy keeps its own.
TEST_P(XdgDefaultsTest, APerUserEntryOfTheProgramStaysOnlyForABuildTreeCopy) {
    test::writeFile(assoc->entryPath(), DesktopEntry::forProgram(program));
    ASSERT_TRUE(assoc->associate(0).ok);
    EXPECT_EQ(fs::exists(assoc->entryPath()), !installed);
    EXPECT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "kamelo.desktop");
}

// A desktop's own list in the user's folder comes first (kde-mimeapps.list
// and so on): its default is overridden too, and given back on removal.
TEST_P(XdgDefaultsTest, TheDesktopsOwnListIsFollowedToo) {
    const char* name = std::get<0>(GetParam()).name;
    if (!name)
        GTEST_SKIP() << "no desktop, no list of its own";
    std::string lower = name;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string own = config + "/" + lower + "-mimeapps.list";
    const std::string original = "[Default Applications]\r\nimage/jpeg=aaa-viewer.desktop;\r\n"
                                 "image/png=aaa-viewer.desktop;\r\n";
    test::writeFile(own, original);
    test::writeFile(config + "/mimeapps.list", "");
    ASSERT_TRUE(assoc->associate(0).ok);
    EXPECT_TRUE(assoc->isOurs(0));
    EXPECT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "kamelo.desktop");
    EXPECT_EQ(run("xdg-mime query default image/png 2>/dev/null"), "aaa-viewer.desktop");
    ASSERT_TRUE(assoc->remove(0).ok);
    EXPECT_EQ(run("xdg-mime query default image/jpeg 2>/dev/null"), "aaa-viewer.desktop");
    EXPECT_EQ(test::readFile(own), original);
}

INSTANTIATE_TEST_SUITE_P(Desktops, XdgDefaultsTest,
                         ::testing::Combine(::testing::ValuesIn(kDesktops), ::testing::Bool()),
                         [](const auto& info) {
                             const Desktop d = std::get<0>(info.param);
                             return std::string(d.name ? d.name : "None") +
                                    (std::get<1>(info.param) ? "Installed" : "BuildTree");
                         });

} // namespace
