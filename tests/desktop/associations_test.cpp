// File associations in folders of their own (every XDG_* variable points
// into a scratch folder whose name holds Hangul), read back with
// xdg-mime and checked with desktop-file-validate.
#include "base/settingsstore.h"
#include "desktop/core/associations.h"
#include "desktop/core/associationtable.h"
#include "desktop/core/desktopentry.h"
#include "desktop/core/mimeappsfile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace kamelo;
using namespace kamelo::desktop;
namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command, int* rc = nullptr) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        const int status = ::pclose(p);
        if (rc)
            *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::string queryDefault(const std::string& mime) {
    return run("xdg-mime query default " + mime + " 2>/dev/null");
}

class AssociationsTest : public ::testing::Test {
protected:
    test::Watchdog watchdog{120};
    test::ScratchDir scratch;
    // Hangul in every folder name; no blank, which xdg-mime 1.1.3 splits
    // paths at (the program path below has one).
    std::string base = scratch.file("xdg폴더");
    std::string config = base + "/config";
    std::string data = base + "/data";
    std::string program = base + "/카멜로 프로그램/kamelo";
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Associations> assoc;

    void SetUp() override {
        for (const char* d :
             {"config", "data/applications", "sys/applications", "sysconfig", "cache", "runtime"})
            fs::create_directories(base + "/" + d);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (base + "/sys").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (base + "/sysconfig").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (base + "/runtime").c_str(), 1);
        // xdg-mime's own lookup, not a desktop's tool.
        for (const char* v : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                              "DESKTOP_SESSION", "XDG_SESSION_DESKTOP"})
            ::unsetenv(v);
        store = std::make_unique<SettingsStore>(base + "/config/Halvern/Kamelo.sqlite");
        assoc = std::make_unique<Associations>(XdgDirs::fromEnvironment(), *store, program);
    }

    void installOther(const std::string& id, const std::string& exec) {
        test::writeFile(data + "/applications/" + id,
                        "[Desktop Entry]\nType=Application\nName=Other\nExec=" + exec +
                            "\nMimeType=image/png;image/gif;image/jpeg;\n");
    }
    std::string list() { return test::readFile(config + "/mimeapps.list"); }
    std::string backup(const std::string& ext) {
        return store->getString(std::string("FileExts\\") + ext, "Kamelo_bak", "<none>");
    }
};

} // namespace

TEST(AssociationTable, FourteenRowsAndTheirNames) {
    const auto& rows = AssociationTable::rows();
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_STREQ(rows[0].extension, ".jpg");
    EXPECT_STREQ(rows[13].extension, ".tiff");
    EXPECT_STREQ(rows[13].iconIndex, "14");
    EXPECT_EQ(AssociationTable::typeDescription(".jpg"), "카멜로 JPG 그림 파일");
    EXPECT_EQ(AssociationTable::typeDescription(".tiff"), "카멜로 IFF 그림 파일");
    EXPECT_EQ(AssociationTable::companions(8), (std::vector<int>{8, 13}));
    EXPECT_EQ(AssociationTable::companions(13), (std::vector<int>{13, 8}));
    EXPECT_EQ(AssociationTable::companions(0), (std::vector<int>{0}));
    EXPECT_EQ(AssociationTable::primaryTypes().size(), 13u);
    EXPECT_EQ(AssociationTable::allTypes().size(), 16u);
}

TEST(AssociationTable, TheEntryNamesTheNewerTypesAfterTheRows) {
    const std::vector<std::string> all = AssociationTable::allTypes();
    const std::vector<std::string> entry = AssociationTable::entryTypes();
    ASSERT_EQ(entry.size(), all.size() + AssociationTable::newerTypes().size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), entry.begin()));
    // Each as shared-mime-info names it (a type or an alias).
    const std::string database = test::readFile("/usr/share/mime/packages/freedesktop.org.xml");
    ASSERT_FALSE(database.empty());
    const std::string generated =
        DesktopEntry::keyValue(DesktopEntry::forProgram("/usr/bin/kamelo"), "MimeType");
    const std::string packaged =
        DesktopEntry::keyValue(DesktopEntry::packagedTemplate(), "MimeType");
    for (const char* type :
         {"image/heic", "image/heif", "image/avif", "image/webp", "image/jxl", "image/x-canon-cr2",
          "image/x-canon-cr3", "image/x-nikon-nef", "image/x-adobe-dng", "image/x-sony-arw",
          "image/x-olympus-orf", "image/x-panasonic-rw2", "image/x-fuji-raf", "image/x-pentax-pef"})
        EXPECT_NE(std::find(entry.begin(), entry.end(), type), entry.end()) << type;
    for (const std::string& type : AssociationTable::newerTypes()) {
        EXPECT_NE(database.find("type=\"" + type + "\""), std::string::npos) << type;
        EXPECT_NE(generated.find(type + ";"), std::string::npos) << type;
        EXPECT_NE(packaged.find(type + ";"), std::string::npos) << type;
    }
}

TEST(MimeAppsFile, KeepsEveryOtherByte) {
    const std::string damaged = "junk without equals\r\n[Default Applications]\r\n"
                                "image/gif = other.desktop;\r\n# note\r\n=odd\r\n\r\n"
                                "[Added Associations]\r\nimage/jpeg=x.desktop;";
    MimeAppsFile f(damaged);
    EXPECT_EQ(f.bytes(), damaged);
    EXPECT_EQ(f.value("Default Applications", "image/gif"), "other.desktop;");
    EXPECT_FALSE(f.value("Default Applications", "image/jpeg"));
    f.set("Default Applications", "image/gif", "kamelo.desktop;");
    f.set("Default Applications", "image/png", "kamelo.desktop;");
    EXPECT_EQ(f.bytes(), "junk without equals\r\n[Default Applications]\r\n"
                         "image/gif = kamelo.desktop;\r\n# note\r\n=odd\r\n"
                         "image/png=kamelo.desktop;\r\n\r\n"
                         "[Added Associations]\r\nimage/jpeg=x.desktop;");
    f.set("Default Applications", "image/gif", "other.desktop;");
    EXPECT_TRUE(f.remove("Default Applications", "image/png"));
    EXPECT_EQ(f.bytes(), damaged);

    // No final newline, no group: a group is added after a blank line.
    MimeAppsFile g("[Added Associations]\nimage/png=a.desktop;");
    g.set("Default Applications", "image/png", "k.desktop;");
    EXPECT_EQ(g.bytes(), "[Added Associations]\nimage/png=a.desktop;\n\n"
                         "[Default Applications]\nimage/png=k.desktop;\n");
    // Removing the last line of a file without a final newline.
    MimeAppsFile h("[Default Applications]\nimage/png=k.desktop;");
    h.remove("Default Applications", "image/png");
    EXPECT_EQ(h.bytes(), "[Default Applications]");
}

TEST(MimeAppsFile, CleanTextOnly) {
    EXPECT_TRUE(MimeAppsFile::isCleanText("[그룹]\nkey=값\n"));
    EXPECT_FALSE(MimeAppsFile::isCleanText(std::string("a\0b", 3)));
    EXPECT_FALSE(MimeAppsFile::isCleanText("\xC0\xAF"));     // overlong
    EXPECT_FALSE(MimeAppsFile::isCleanText("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(MimeAppsFile::isCleanText("abc\xE4\xB8"));  // cut short
    EXPECT_FALSE(MimeAppsFile::isCleanText("\xFF"));
}

TEST(DesktopEntry, ExecQuotingRoundTrips) {
    const std::string path = "/opt/a b/\"q\"/$x`y`/back\\slash/100%/카멜로";
    const std::string value = DesktopEntry::execArgument(path) + " %f";
    const std::vector<std::string> args = DesktopEntry::splitExec(value);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(DesktopEntry::commandWithoutFieldCodes(value), path);
    EXPECT_EQ(DesktopEntry::commandWithoutFieldCodes("display-im6.q16 %f"), "display-im6.q16");
    EXPECT_EQ(DesktopEntry::commandWithoutFieldCodes("\"/usr/bin/x y\" --a %U"),
              "/usr/bin/x y --a");
}

TEST_F(AssociationsTest, EntryValidatesAndNamesTheProgram) {
    ASSERT_TRUE(assoc->associate(0).ok);
    const std::string entry = test::readFile(assoc->entryPath());
    int rc = -1;
    const std::string out = run("desktop-file-validate '" + assoc->entryPath() + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(DesktopEntry::keyValue(entry, "Name"), "카멜로");
    EXPECT_EQ(DesktopEntry::splitExec(DesktopEntry::keyValue(entry, "Exec")),
              (std::vector<std::string>{program, "%f"}));
    EXPECT_EQ(assoc->currentHandler(0), program);
    const std::string types = DesktopEntry::keyValue(entry, "MimeType");
    for (const auto& row : AssociationTable::rows())
        for (const std::string& type : row.mimeTypes)
            EXPECT_NE(types.find(type + ";"), std::string::npos) << type;
}

TEST_F(AssociationsTest, RoundTripReadWithXdgMime) {
    for (int row = 0; row < 14; ++row)
        ASSERT_TRUE(assoc->associate(row).ok) << row;
    EXPECT_TRUE(assoc->allOurs());
    for (const std::string& type : AssociationTable::primaryTypes())
        EXPECT_EQ(queryDefault(type), "kamelo.desktop") << type;
    EXPECT_EQ(queryDefault("image/x-pcx"), "kamelo.desktop");
    for (int row = 0; row < 14; ++row)
        ASSERT_TRUE(assoc->remove(row).ok) << row;
    for (int row = 0; row < 14; ++row)
        EXPECT_FALSE(assoc->isOurs(row));
    for (const std::string& type : AssociationTable::primaryTypes())
        EXPECT_EQ(queryDefault(type), "") << type;
    EXPECT_EQ(list(), "[Default Applications]\n");
    EXPECT_FALSE(fs::exists(assoc->entryPath()));
}

TEST_F(AssociationsTest, AnotherProgramsDefaultIsKeptAndPutBack) {
    installOther("other.desktop", "/usr/bin/other --view %U");
    const std::string original = "[Default Applications]\nimage/png=other.desktop;\n";
    test::writeFile(config + "/mimeapps.list", original);
    EXPECT_EQ(queryDefault("image/png"), "other.desktop");
    EXPECT_EQ(assoc->currentHandler(2), "/usr/bin/other --view");

    ASSERT_TRUE(assoc->associate(2).ok);
    EXPECT_EQ(queryDefault("image/png"), "kamelo.desktop");
    EXPECT_EQ(backup(".png"), "other.desktop;");
    // Associating again keeps the backup as it is.
    ASSERT_TRUE(assoc->associate(2).ok);
    EXPECT_EQ(backup(".png"), "other.desktop;");

    ASSERT_TRUE(assoc->remove(2).ok);
    EXPECT_EQ(queryDefault("image/png"), "other.desktop");
    EXPECT_EQ(list(), original);
    EXPECT_EQ(backup(".png"), "<none>");
}

TEST_F(AssociationsTest, RemovingWhatIsNotOursChangesNothing) {
    installOther("other.desktop", "other %f");
    const std::string original = "[Default Applications]\r\nimage/gif=other.desktop;";
    test::writeFile(config + "/mimeapps.list", original);
    for (int row = 0; row < 14; ++row)
        EXPECT_TRUE(assoc->remove(row).ok);
    EXPECT_EQ(list(), original);
    EXPECT_FALSE(fs::exists(assoc->entryPath()));
    EXPECT_EQ(queryDefault("image/gif"), "other.desktop");
}

TEST_F(AssociationsTest, TifAndTiffMoveTogether) {
    ASSERT_TRUE(assoc->associate(13).ok);
    EXPECT_TRUE(assoc->isOurs(8));
    EXPECT_TRUE(assoc->isOurs(13));
    ASSERT_TRUE(assoc->remove(8).ok);
    EXPECT_FALSE(assoc->isOurs(13));
}

TEST_F(AssociationsTest, DamagedListsKeepEveryOtherByte) {
    installOther("other.desktop", "other %f");
    const std::string original = "garbage line\r\n[Default Applications]\r\n"
                                 "image/gif=other.desktop;\r\n# comment\r\n=\r\n"
                                 "[Added Associations]\r\nimage/jpeg=other.desktop;";
    test::writeFile(config + "/mimeapps.list", original);
    ASSERT_TRUE(assoc->associate(12).ok); // .gif
    ASSERT_TRUE(assoc->associate(0).ok);  // .jpg
    EXPECT_EQ(list(), "garbage line\r\n[Default Applications]\r\n"
                      "image/gif=kamelo.desktop;\r\n# comment\r\n=\r\n"
                      "image/jpeg=kamelo.desktop;\r\n"
                      "[Added Associations]\r\nimage/jpeg=other.desktop;");
    EXPECT_EQ(queryDefault("image/gif"), "kamelo.desktop");
    ASSERT_TRUE(assoc->remove(0).ok);
    ASSERT_TRUE(assoc->remove(12).ok);
    EXPECT_EQ(list(), original);
}

TEST_F(AssociationsTest, InvalidTextAndOversizedListsAreLeftAlone) {
    struct Case {
        std::string list;
        const char* said;
    };
    const Case cases[] = {
        {std::string("[Default Applications]\nimage/png=\xFF\xFE;\n"), "UTF-8"},
        {std::string("[Default Applications]\n\0\n", 26), "UTF-8"},
        // Not read at all: named as too large, not as a failed read.
        {"[Default Applications]\n" + std::string(5 << 20, '#') + "\n", "너무 커서"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        test::writeFile(config + "/mimeapps.list", c.list);
        const AssociationResult r = assoc->associate(2);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("mimeapps.list"), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(c.said), std::string::npos) << r.message;
        EXPECT_EQ(list(), c.list);
        EXPECT_FALSE(assoc->isOurs(2));
    }
}

TEST_F(AssociationsTest, ASymlinkStaysOne) {
    fs::create_directories(base + "/dotfiles");
    test::writeFile(base + "/dotfiles/mimeapps.list", "[Default Applications]\n");
    fs::create_symlink(base + "/dotfiles/mimeapps.list", config + "/mimeapps.list");
    ASSERT_TRUE(assoc->associate(1).ok);
    EXPECT_TRUE(fs::is_symlink(config + "/mimeapps.list"));
    EXPECT_EQ(test::readFile(base + "/dotfiles/mimeapps.list"),
              "[Default Applications]\nimage/bmp=kamelo.desktop;\n");
    EXPECT_EQ(queryDefault("image/bmp"), "kamelo.desktop");
}

TEST_F(AssociationsTest, AnUnwritableFolderIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes everywhere";
    fs::permissions(config, fs::perms::owner_read | fs::perms::owner_exec);
    const AssociationResult r = assoc->associate(0);
    fs::permissions(config, fs::perms::owner_all);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("mimeapps.list"), std::string::npos);
}
