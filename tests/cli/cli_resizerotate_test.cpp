#include "tests/cli/clirunner.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using kamelo::test::cli;
using kamelo::test::ScratchDir;
using kamelo::test::shellQuote;
namespace fs = std::filesystem;

namespace {

std::string output(const std::string& cmd) {
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

bool haveTools() {
    return std::system("command -v gm >/dev/null 2>&1 && command -v exiv2 >/dev/null 2>&1") == 0;
}

std::string size(const std::string& path) {
    return output("gm identify -format '%w %h' " + shellQuote(path));
}

std::string orientation(const std::string& path) {
    return output("exiv2 -q -K Exif.Image.Orientation -Pv " + shellQuote(path));
}

std::string copy(const ScratchDir& dir, const std::string& relative, const std::string& name) {
    const std::string to = dir.file(name);
    fs::copy_file(kamelo::test::testDataFile(relative), to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

} // namespace

TEST(CliResize, PercentIntoAFolderAndFitWidthInPlace) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTools())
        GTEST_SKIP() << "gm and exiv2 read the results";
    ScratchDir dir;
    const std::string a = copy(dir, "camera/Canon_40D.jpg", "a.jpg");
    const std::string before = size(a);
    auto r = cli(dir, {"resize", "--percent", "50", "--out", dir.file("small"), a});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(size(a), before); // the source is left
    const int w = std::stoi(before.substr(0, before.find(' ')));
    const int h = std::stoi(before.substr(before.find(' ') + 1));
    EXPECT_EQ(size(dir.file("small/a.jpg")), std::to_string(w / 2) + " " + std::to_string(h / 2));
    // In place, fitted to a width of 100.
    r = cli(dir, {"resize", "--width", "100", "--method", "resample", a});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(size(a), "100 " + std::to_string(int(h * (100.0 / w))));
}

TEST(CliResize, RefusedAndBrokenFilesFailWithExitOne) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string tiny = copy(dir, "camera/Issue 508.jpg", "tiny.jpg");
    const std::string broken = copy(dir, "broken/empty.png", "empty.png");
    const std::string tinyBytes = kamelo::test::readFile(tiny);
    const auto r = cli(dir, {"resize", "--percent", "1", tiny, broken});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("크기 변환에 실패했습니다."), std::string::npos) << r.out;
    EXPECT_EQ(kamelo::test::readFile(tiny), tinyBytes);
}

TEST(CliResize, WrongCallsExitTwo) {
    ScratchDir dir;
    EXPECT_EQ(cli(dir, {"resize", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"resize", "--percent", "0", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"resize", "--percent", "5001", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"resize", "--percent", "50"}).code, 2);
    EXPECT_EQ(cli(dir, {"resize", "--size", "10y20", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"resize", "--percent", "50", "--method", "best", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"rotate", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"rotate", "--code", "9", "x.jpg"}).code, 2);
    EXPECT_EQ(cli(dir, {"rotate", "--left", "--right", "x.jpg"}).code, 2);
}

TEST(CliRotate, AutoStandsPicturesUprightAndLeftKeepsTheTag) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTools())
        GTEST_SKIP() << "gm and exiv2 read the results";
    ScratchDir dir;
    const std::string six = copy(dir, "camera/Sony Cybershot (3).jpg", "six.jpg");
    const std::string three = copy(dir, "camera/Apple iPhone 5.jpg", "three.jpg");
    const std::string one = copy(dir, "camera/Canon_40D.jpg", "one.jpg");
    const std::string sixSize = size(six), threeSize = size(three), oneSize = size(one);
    // Read without turning, as a viewer set not to apply the orientation.
    ASSERT_EQ(cli(dir, {"settings", "set", "General", "Apply Orientation", "0"}).code, 0);
    auto r = cli(dir, {"rotate", "--auto", "--out", dir.file("up"), six, three, one});
    EXPECT_EQ(r.code, 0) << r.out;
    const std::string swapped =
        sixSize.substr(sixSize.find(' ') + 1) + " " + sixSize.substr(0, sixSize.find(' '));
    EXPECT_EQ(size(dir.file("up/six.jpg")), swapped);
    EXPECT_EQ(orientation(dir.file("up/six.jpg")), "1");
    EXPECT_EQ(size(dir.file("up/three.jpg")), threeSize);
    EXPECT_EQ(orientation(dir.file("up/three.jpg")), "1");
    EXPECT_EQ(size(dir.file("up/one.jpg")), oneSize);
    EXPECT_EQ(orientation(dir.file("up/one.jpg")), "1");
    // A fixed turn keeps the tag it found.
    r = cli(dir, {"rotate", "--left", six});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(size(six), swapped);
    EXPECT_EQ(orientation(six), "6");
    // An existing output is kept unless asked.
    const std::string kept = kamelo::test::readFile(dir.file("up/one.jpg"));
    r = cli(dir, {"rotate", "--code", "2", "--out", dir.file("up"), one});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(kamelo::test::readFile(dir.file("up/one.jpg")), kept);
    r = cli(dir, {"rotate", "--code", "2", "--out", dir.file("up"), "--overwrite", one});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(kamelo::test::readFile(dir.file("up/one.jpg")), kept);
}
