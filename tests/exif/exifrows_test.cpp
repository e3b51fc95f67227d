#include "exif/core/exifrows.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kamelo;

namespace {

std::vector<uint8_t> rational(uint32_t n, uint32_t d) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &n, 4);
    std::memcpy(b.data() + 4, &d, 4);
    return b;
}

std::vector<uint8_t> text(const std::string& s) {
    return {s.begin(), s.end()};
}

} // namespace

TEST(ExifRows, LabelsAndFormatsOfEveryRow) {
    ExifSources s;
    s.section.width = 3888;
    s.section.height = 2592;
    s.section.xResolution = 72;
    s.section.yResolution = 72;
    s.section.resolutionUnit = 1.0f;
    s.comments[5] = text("Canon");
    s.comments[6] = text("Canon EOS 40D");
    s.comments[2] = text("2008:07:31 10:38:11");
    s.comments[22] = text("2008:05:30 15:56:01");
    s.comments[9] = text("GIMP 2.4.5");
    s.comments[34] = rational(1, 160);
    int16_t iso = 100;
    s.comments[162] = std::vector<uint8_t>(2);
    std::memcpy(s.comments[162].data(), &iso, 2);
    s.comments[25] = rational(uint32_t(-3), 2); // signed: -1.5
    s.comments[33] = rational(135, 1);
    s.comments[35] = rational(71, 10);
    s.comments[21] = text("0221");
    s.properties.resolutionUnit = 2;
    s.properties.orientation = 1;
    s.properties.flash = 0x19;
    s.properties.colorSpace = 1;
    s.properties.lightSource = 255;
    s.properties.meteringMode = 255;
    const std::vector<ExifRow> rows = ExifRows::build(s);
    ASSERT_EQ(rows.size(), 21u);
    const std::vector<std::pair<std::string, std::string>> want = {
        {"너비", "3888픽셀"},
        {"높이", "2592픽셀"},
        {"수평 해상도", "72dpi"},
        {"수직 해상도", "72dpi"},
        {"Resolution Unit", "2"},
        {"카메라 제조사", "Canon"},
        {"카메라 모델", "Canon EOS 40D"},
        {"날짜", "2008:07:31 10:38:11"},
        {"사진찍은 날짜", "2008:05:30 15:56:01"},
        {"만들기 소프트웨어", "GIMP 2.4.5"},
        {"Orientation", "1"},
        {"셔터속도", "1/160초 (0.0063초)"},
        {"ISO", "100"},
        {"조리개값", "-1.500"},
        {"초점거리", "135.0 mm"},
        {"Flash", "Flash fired, auto mode"},
        {"Color space", "sRGB"},
        {"Light Source", "other light source"},
        {"Metering mode", "other"},
        {"F 번호", "F/7.1"},
        {"EXIF 버전", "Version 2.2"},
    };
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(rows[i].label, want[i].first) << i;
        EXPECT_EQ(rows[i].value, want[i].second) << i;
    }
}

TEST(ExifRows, EdgeCasesOfTheTables) {
    EXPECT_EQ(ExifRows::exposureText(1.0 / 250), "1/250초 (0.0040초)");
    EXPECT_EQ(ExifRows::exposureText(2.0), "2.0000 초");
    EXPECT_EQ(ExifRows::exposureText(0.5), "1/2초 (0.5000초)");
    EXPECT_EQ(ExifRows::flashText(0x02), "");
    EXPECT_EQ(ExifRows::flashText(0x00), "Flash not fired");
    EXPECT_EQ(ExifRows::lightSourceText(5), "");
    EXPECT_EQ(ExifRows::lightSourceText(24), "ISO studio tungsten");
    EXPECT_EQ(ExifRows::meteringText(std::nullopt), "");
    EXPECT_EQ(ExifRows::meteringText(uint16_t(2)), "CenterWeightedAverage");
    EXPECT_EQ(ExifRows::meteringText(uint16_t(0xFFFF)), "");
    EXPECT_EQ(ExifRows::colorSpaceText(std::nullopt), "Uncalibrated");
    EXPECT_EQ(ExifRows::colorSpaceText(uint16_t(2)), "");
    EXPECT_EQ(ExifRows::versionText({'0', '2', '2', '1'}), "Version 2.2");

    // Nothing known: pixels 0, resolutions and comments empty.
    ExifSources none;
    const std::vector<ExifRow> rows = ExifRows::build(none);
    EXPECT_EQ(rows[0].value, "0픽셀");
    EXPECT_EQ(rows[2].value, "");
    EXPECT_EQ(rows[5].value, "");
    EXPECT_EQ(rows[16].value, "Uncalibrated");

    // 28.35 dots per centimetre read as 72 dpi.
    ExifSources cm;
    cm.section.xResolution = 28.35f;
    cm.section.resolutionUnit = 0.3937f;
    EXPECT_EQ(ExifRows::build(cm)[2].value, "72dpi");
    cm.comments[34] = rational(5, 0); // no denominator: no value
    EXPECT_EQ(ExifRows::build(cm)[11].value, "");
}
