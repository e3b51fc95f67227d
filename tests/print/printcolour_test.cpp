// Pictures with colour profiles are printed in sRGB, and the PDF says its
// colours are sRGB: an sRGB output intent, its title intact in both places.
#include "pdftools.h"
#include "tests/cli/clirunner.h"
#include "tests/support/colourpictures.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

using namespace kamelo::test;
namespace tc = kamelo::testing::colour;

namespace {

constexpr uint32_t kColour = 0xD04030;

struct Row {
    const char* name;
    std::vector<uint8_t> (*profile)();
};

std::vector<uint8_t> none() {
    return {};
}

class PrintColour : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        ASSERT_TRUE(popplerAvailable()) << "poppler-utils (pdftoppm, pdfinfo) must be installed";
    }
    ScratchDir dir;
    Watchdog watchdog{300};
};

TEST_P(PrintColour, PicturesArePrintedInSrgb) {
    const std::vector<uint8_t> icc = GetParam().profile();
    const std::string picture = dir.file("사진 & 색.jpg"), pdf = dir.file("out.pdf");
    tc::writeBytes(picture, tc::solidJpeg(300, 200, kColour, icc));
    const CliResult r = runCli(dir, {"print", "--pdf", pdf, picture}, CliStreams::Out, 120);
    ASSERT_EQ(r.code, 0) << r.out;

    const Raster page = renderPage(pdf, 1, 72, dir.path());
    ASSERT_GT(page.width, 0);
    const uint32_t expected = icc.empty() ? kColour : tc::expectedSrgb(icc, kColour);
    const unsigned shown = page.pixel(page.width / 2, page.height / 2);
    EXPECT_TRUE(tc::near(shown, expected)) << std::hex << shown << " != " << expected;

    const std::string bytes = readFile(pdf);
    EXPECT_NE(bytes.find("/OutputIntents"), std::string::npos);
    EXPECT_NE(bytes.find("/DestOutputProfile"), std::string::npos);
    EXPECT_NE(bytes.find("/S/GTS_PDFA1"), std::string::npos);
    EXPECT_EQ(pdfInfoField(pdf, "Title"), "사진 & 색.jpg");
    const std::string xmp = runCommand("pdfinfo -meta " + shellQuote(pdf) + " 2>/dev/null");
    EXPECT_NE(xmp.find(">사진 &amp; 색.jpg</rdf:li>"), std::string::npos) << xmp;
}

INSTANTIATE_TEST_SUITE_P(Profiles, PrintColour,
                         ::testing::Values(Row{"P3", tc::p3Profile},
                                           Row{"AdobeRgb", tc::adobeRgbProfile},
                                           Row{"Untagged", none}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
