#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "pdftools.h"
#include "privatecups.h"
#include "tests/cli/clirunner.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::test;

namespace {

std::string solid(const ScratchDir& dir, const std::string& name, uint32_t rgb) {
    imaging::Bitmap b;
    b.create(400, 300, rgb);
    const std::string path = dir.file(name);
    imaging::PictureSaver::save(b, path, imaging::PictureSaver::formatForExtension(".png"));
    return path;
}

} // namespace

TEST(PrintCups, SheetOnAPrivateQueueAndNoPrinterAfterwards) {
    Watchdog watchdog(240);
    if (!popplerAvailable())
        GTEST_SKIP() << "poppler-utils not installed";
    ScratchDir dir;
    CupsFolder folder;
    ASSERT_FALSE(folder.path.empty());
    PrivateCups cups(folder.path);
    const std::string why = cups.start();
    if (!why.empty())
        GTEST_SKIP() << "no private CUPS scheduler: " << why;

    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF};
    std::vector<std::string> args = {"print", "--printer", kQueue, "--sheet", "2x2"};
    for (size_t i = 0; i < colours.size(); ++i)
        args.push_back(solid(dir, "c" + std::to_string(i) + ".png", colours[i]));
    const CliResult r = runCli(dir, args, CliStreams::Both, 120);
    ASSERT_EQ(r.code, 0) << r.out;
    ASSERT_TRUE(cups.waitIdle()) << runCommand("lpstat -l -o 2>&1");
    EXPECT_EQ(pdfInfoField(cups.output(), "Pages"), "2");
    const Raster p1 = renderPage(cups.output(), 1, 72, dir.path());
    const Raster p2 = renderPage(cups.output(), 2, 72, dir.path());
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(colourBox(p1, colours[i]).empty()) << i;
    EXPECT_FALSE(colourBox(p2, colours[4]).empty());
    EXPECT_TRUE(colourBox(p2, colours[0]).empty());

    // Without a scheduler there is no printer.
    cups.stop();
    const CliResult none =
        runCli(dir, {"print", "--printer", kQueue, args.back()}, CliStreams::Errors, 60);
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.out.find("설치된 프린터가 없습니다."), std::string::npos) << none.out;
    ::unsetenv("CUPS_SERVER");
}

// A queue whose PPD says Letter gets Letter pages laid out for Letter, and
// the job's title arrives as it was given, whatever bytes its UTF-16 holds.
TEST(PrintCups, TheQueuesOwnPaperAndTheTitleAsGiven) {
    Watchdog watchdog(240);
    if (!popplerAvailable())
        GTEST_SKIP() << "poppler-utils not installed";
    ScratchDir dir;
    CupsFolder folder;
    ASSERT_FALSE(folder.path.empty());
    PrivateCups cups(folder.path);
    const std::string why = cups.start("Letter");
    if (!why.empty())
        GTEST_SKIP() << "no private CUPS scheduler: " << why;
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> names;
        std::string title;
    };
    const std::vector<Case> cases = {
        {{"--sheet", "2x2"}, {"a.png", "b.png"}, "여러장 찍기"}, // 찍 is U+CC0D
        {{"--size", "fit"}, {"찍다.png"}, "찍다.png"},
        {{"--size", "fit"}, {"\xe0\xb4\x8d.png", "c.png"}, "\xe0\xb4\x8d.png외 1개"}, // U+0D0D
    };
    for (const Case& c : cases) {
        std::filesystem::remove(cups.output());
        std::vector<std::string> args = {"print", "--printer", kQueue};
        args.insert(args.end(), c.args.begin(), c.args.end());
        for (const std::string& name : c.names)
            args.push_back(solid(dir, name, 0xFF0000));
        const CliResult r = runCli(dir, args, CliStreams::Both, 120);
        ASSERT_EQ(r.code, 0) << r.out;
        ASSERT_TRUE(cups.waitIdle()) << runCommand("lpstat -l -o 2>&1");
        EXPECT_EQ(pdfInfoField(cups.output(), "Title"), c.title);
        EXPECT_EQ(pdfInfoField(cups.output(), "Page size"), "612 x 792 pts (letter)");
    }
    // Laid out for Letter: a 4:3 picture fitted to the width of the 215 mm
    // paper less its 6 mm unprintable edges and the 10 mm margins, 183 mm
    // (on A4 it would be 178 mm).
    const Raster page = renderPage(cups.output(), 1, 72, dir.path());
    const Box box = colourBox(page, 0xFF0000);
    ASSERT_FALSE(box.empty());
    EXPECT_NEAR(box.right - box.left, 183 * 72 / 25.4, 2.0);
    cups.stop();
    ::unsetenv("CUPS_SERVER");
}
