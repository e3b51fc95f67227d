#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "pdftools.h"
#include "tests/cli/clirunner.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

using namespace kamelo;
using namespace kamelo::test;

namespace {

constexpr double kPxPerMm72 = 72 / 25.4;

// A solid picture; the extension chooses the format.
std::string solid(const ScratchDir& dir, const std::string& name, int w, int h, uint32_t rgb) {
    imaging::Bitmap b;
    b.create(w, h, rgb);
    const std::string path = dir.file(name);
    const std::string ext = std::filesystem::path(name).extension().string();
    imaging::PictureSaver::save(b, path, imaging::PictureSaver::formatForExtension(ext));
    return path;
}

// Expects the colour's box at 72 dpi to equal a rectangle given in mm.
void expectBox(const Raster& page, uint32_t rgb, double leftMm, double topMm, double widthMm,
               double heightMm) {
    const Box b = colourBox(page, rgb);
    ASSERT_FALSE(b.empty()) << std::hex << rgb;
    EXPECT_NEAR(b.left, leftMm * kPxPerMm72, 1.0) << std::hex << rgb;
    EXPECT_NEAR(b.top, topMm * kPxPerMm72, 1.0) << std::hex << rgb;
    EXPECT_NEAR(b.right, (leftMm + widthMm) * kPxPerMm72, 1.0) << std::hex << rgb;
    EXPECT_NEAR(b.bottom, (topMm + heightMm) * kPxPerMm72, 1.0) << std::hex << rgb;
}

// pdftotext gives the spaces of the embedded Korean font as control characters:
// texts are compared without white space.
std::string squeezed(const std::string& s) {
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) > ' ')
            out += c;
    return out;
}

bool hasText(const std::string& pdf, const std::string& text) {
    return squeezed(pdfText(pdf)).find(squeezed(text)) != std::string::npos;
}

class PrintPdf : public ::testing::Test {
protected:
    void SetUp() override {
        if (!popplerAvailable())
            GTEST_SKIP() << "poppler-utils (pdfinfo, pdftoppm, pdftotext, pdfimages) not installed";
    }
    CliResult print(std::vector<std::string> args, CliStreams keep = CliStreams::Out) {
        args.insert(args.begin(), {"print", "--pdf", pdf});
        return runCli(dir, args, keep, 120);
    }
    ScratchDir dir;
    std::string pdf = dir.file("out.pdf");
    Watchdog watchdog{300};
};

} // namespace

TEST_F(PrintPdf, SheetGeometryMatchesTheMillimetres) {
    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF};
    std::vector<std::string> args = {"--sheet", "2x2", "--margins", "10,15,10,15"};
    for (size_t i = 0; i < colours.size(); ++i)
        args.push_back(solid(dir, "p" + std::to_string(i) + ".png", 400, 300, colours[i]));
    const CliResult r = print(args);
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(pdfInfoField(pdf, "Pages"), "2");
    EXPECT_EQ(pdfInfoField(pdf, "Title"), "여러장 찍기");
    EXPECT_EQ(pdfInfoField(pdf, "Page size"), "595 x 842 pts (A4)");
    // Cells: (190 - 6) / 2 = 92 mm by (267 - 6) / 2 = 130.5 mm; the picture
    // band less 3 mm a side is 86 x 124.5 mm; a 4:3 picture takes 86 x 64.5.
    const Raster p1 = renderPage(pdf, 1, 72, dir.path());
    ASSERT_EQ(p1.width, 595);
    const double cellW = 92, cellH = 130.5, picW = 86, picH = 64.5;
    for (int i = 0; i < 4; ++i) {
        const int row = i / 2, col = i % 2;
        const double left = 10 + col * (cellW + 6) + 3;
        const double top = 15 + row * (cellH + 6) + (cellH - picH) / 2;
        expectBox(p1, colours[i], left, top, picW, picH);
    }
    EXPECT_TRUE(colourBox(p1, colours[4]).empty());
    const Raster p2 = renderPage(pdf, 2, 72, dir.path());
    expectBox(p2, colours[4], 13, 15 + (cellH - picH) / 2, picW, picH);
}

TEST_F(PrintPdf, WholePageTitleAndFourBySix) {
    const std::string a = solid(dir, "a.png", 600, 400, 0xFF0000);
    const std::string b = solid(dir, "b.png", 400, 600, 0x00FF00);
    const std::string c = solid(dir, "c.png", 300, 300, 0x0000FF);
    const CliResult r = print({"--size", "4x6", "--margins", "10,15,10,15", a, b, c});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(pdfInfoField(pdf, "Pages"), "3");
    EXPECT_EQ(pdfInfoField(pdf, "Title"), "a.png외 2개");
    // Landscape: 152.4 x 101.6 mm, centred across 190 mm, top at the margin.
    expectBox(renderPage(pdf, 1, 72, dir.path()), 0xFF0000, 10 + (190 - 152.4) / 2, 15, 152.4,
              101.6);
    expectBox(renderPage(pdf, 2, 72, dir.path()), 0x00FF00, 10 + (190 - 101.6) / 2, 15, 101.6,
              152.4);
    expectBox(renderPage(pdf, 3, 72, dir.path()), 0x0000FF, 10 + (190 - 101.6) / 2, 15, 101.6,
              101.6);
}

TEST_F(PrintPdf, OnePictureIsTitledByItsName) {
    const CliResult r = print({solid(dir, "혼자.png", 50, 50, 0x808080)});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(pdfInfoField(pdf, "Title"), "혼자.png");
    // Fit the page: 190 mm wide, centred on 267 mm.
    expectBox(renderPage(pdf, 1, 72, dir.path()), 0x808080, 10, 15 + (267 - 190) / 2.0, 190, 190);
}

TEST_F(PrintPdf, KoreanTextsArePrinted) {
    const std::string a = solid(dir, "첫사진.png", 60, 40, 0xFF0000);
    const CliResult r = print({"--sheet", "2x2", "--header", "가족 여행 머릿말", "--footer",
                               "마지막 꼬릿말", "--caption", "사진: [파일이름]", a});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(hasText(pdf, "가족 여행 머릿말")) << pdfText(pdf);
    EXPECT_TRUE(hasText(pdf, "마지막 꼬릿말"));
    EXPECT_TRUE(hasText(pdf, "사진: 첫사진.png"));
}

TEST_F(PrintPdf, NoImageLargerThanItsCell) {
    std::vector<std::string> args = {"--sheet", "4x4"};
    for (int i = 0; i < 4; ++i)
        args.push_back(solid(dir, "big" + std::to_string(i) + ".jpg", 4000, 3000, 0x3060A0));
    args.push_back(solid(dir, "wide.png", 3000, 500, 0x30A060));
    const CliResult r = print(args);
    ASSERT_EQ(r.code, 0);
    // A4 at 300 dpi with the default margins: cells (190 - 18) / 4 = 43 mm wide.
    const int cellPx = int(std::ceil(43 / 25.4 * 300));
    const auto sizes = pdfImageSizes(pdf);
    ASSERT_EQ(sizes.size(), 5u);
    for (const auto& [w, h] : sizes) {
        EXPECT_LE(w, cellPx);
        EXPECT_LE(h, cellPx);
    }
    // The JPEGs were decoded reduced yet fill their width.
    EXPECT_GE(sizes[0].first, cellPx - 3 * 300 / 25.4 * 2 - 4);
}

TEST_F(PrintPdf, UnreadablePictureIsMarkedAndTheRestPrints) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string broken = dir.file("깨진.jpg");
    std::filesystem::copy_file(testDataFile("broken/empty.png"), broken);
    const std::string good = solid(dir, "good.png", 400, 300, 0x0000FF);
    const CliResult r = print({"--sheet", "2x2", broken, good}, CliStreams::Both);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("깨진.jpg"), std::string::npos) << r.out;
    EXPECT_TRUE(hasText(pdf, "그림파일을 불러올 수 없습니다.")) << pdfText(pdf);
    EXPECT_TRUE(hasText(pdf, "깨진.jpg"));
    EXPECT_FALSE(colourBox(renderPage(pdf, 1, 72, dir.path()), 0x0000FF).empty());
}

TEST_F(PrintPdf, CameraPicturesWithTheirDates) {
    KAMELO_REQUIRE_TESTDATA();
    const CliResult r = print(
        {"--sheet", "2x2", "--caption", "[사진찍은날짜]", testDataFile("camera/Canon_40D.jpg"),
         testDataFile("camera/FujiFilm SP-2500.jpg"), testDataFile("camera/Nikon D40.jpg")});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(pdfInfoField(pdf, "Pages"), "1");
    EXPECT_TRUE(hasText(pdf, "2008년5월30일 15시56분1초")) << pdfText(pdf);
    EXPECT_EQ(pdfImageSizes(pdf).size(), 3u);
}

TEST_F(PrintPdf, BadInputIsRefused) {
    const std::string a = solid(dir, "a.png", 10, 10, 0);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--copies", "0", a}, "인쇄 매수는 1 이상이어야 합니다."},
        {{"--margins", "-1,15,10,15", a}, "여백은 0 mm부터 200 mm까지"},
        {{"--sheet", "11x5", a}, "1부터 10까지"},
        {{"--sheet", "4x5", "--margins", "100,15,110,15", a}, "사진을 놓을 자리가 없습니다"},
        {{"--size", "0x50", a}, "직접 입력한 크기"},
        {{dir.file("notes.txt")}, "파일이 선택되지 않았습니다."},
        {{"--sheet", "2x2", "--size", "fit", a}, "사용법"},
    };
    for (const Case& c : cases) {
        const CliResult r = print(c.args, CliStreams::Errors);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(pdf));
    }
}

TEST_F(PrintPdf, StoredValuesOutsideTheirRangesAreClampedAndSaidOnce) {
    const std::string a = solid(dir, "a.png", 10, 10, 0);
    struct Stored {
        const char* key;
        const char* value;
        const char* said;
    } stored[] = {
        {"Column Count", "-5", "Column Count -5 → 1"},
        {"Row Count", "0", "Row Count 0 → 1"},
        {"Left Margin", "-1000000000", "Left Margin -1000000000 → 0"},
        {"Radio Sheet", "99", "Radio Sheet 99 → 0"},
    };
    for (const Stored& s : stored)
        ASSERT_EQ(runCli(dir, {"settings", "set", "Print", s.key, s.value, "--int"}).code, 0);
    const CliResult r = print({a}, CliStreams::Errors);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(pdf));
    const std::string line = "저장된 인쇄 설정 중 범위를 벗어난 값을 고쳐서 씁니다:";
    ASSERT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(line, r.out.find(line) + 1), std::string::npos) << r.out;
    for (const Stored& s : stored)
        EXPECT_NE(r.out.find(s.said), std::string::npos) << r.out;
    // Values within their ranges are used without a word.
    for (const Stored& s : stored)
        ASSERT_EQ(runCli(dir, {"settings", "set", "Print", s.key, "1", "--int"}).code, 0);
    EXPECT_EQ(print({a}, CliStreams::Errors).out.find(line), std::string::npos);
}

namespace {

struct Word {
    std::string text;
    double top = 0, bottom = 0;
};

// The words of page 1 with their boxes in points, as pdftotext places them.
std::vector<Word> words(const std::string& pdf) {
    const std::string xml = runCommand("pdftotext -f 1 -l 1 -bbox " + shellQuote(pdf) + " -");
    static const std::regex word(R"re(<word xMin="[0-9.]+" yMin="([0-9.]+)" xMax="[0-9.]+" )re"
                                 R"re(yMax="([0-9.]+)">([^<]*)</word>)re");
    std::vector<Word> out;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), word); it != std::sregex_iterator();
         ++it)
        out.push_back({(*it)[3].str(), std::stod((*it)[1].str()), std::stod((*it)[2].str())});
    return out;
}

} // namespace

// Each text stays inside its line: the captions of the last row end above the
// footer's line, which ends at the bottom margin; the header starts at the top.
TEST_F(PrintPdf, TextsStayInTheirLines) {
    const std::string wide = solid(dir, "wide.png", 400, 300, 0xFF0000);
    const std::string tall = solid(dir, "tall.png", 300, 900, 0x00FF00);
    struct Case {
        const char* name;
        const char* fontHeight; // twips
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"sheet", "200", {"--sheet", "2x2", wide, wide, wide, wide}},
        {"whole page", "200", {"--size", "fit", tall}},
        {"big font sheet", "600", {"--sheet", "1x3", wide, wide, wide}},
    };
    const double top = 15 * kPxPerMm72, bottom = (297 - 15) * kPxPerMm72;
    for (const Case& c : cases) {
        ScratchDir config; // its own settings
        runCli(config, {"settings", "set", "Print", "Font Height", c.fontHeight, "--int"});
        std::vector<std::string> args = {"print",       "--pdf",     pdf,    "--margins",
                                         "10,15,10,15", "--header",  "HEAD", "--footer",
                                         "FOOT",        "--caption", "CAP"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = runCli(config, args, CliStreams::Out, 120);
        ASSERT_EQ(r.code, 0) << c.name << r.out;
        double captionBottom = 0, footerTop = 1e9, footerBottom = 0, headerTop = 1e9;
        for (const Word& w : words(pdf)) {
            if (w.text == "CAP")
                captionBottom = std::max(captionBottom, w.bottom);
            else if (w.text == "FOOT")
                footerTop = w.top, footerBottom = w.bottom;
            else if (w.text == "HEAD")
                headerTop = w.top;
        }
        ASSERT_GT(captionBottom, 0) << c.name;
        EXPECT_LE(captionBottom, footerTop + 0.01) << c.name;
        EXPECT_LE(footerBottom, bottom + 0.01) << c.name;
        EXPECT_GE(headerTop, top - 0.01) << c.name;
    }
}
