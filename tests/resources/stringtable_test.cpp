#include "resources/stringtable.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace res = kamelo::res;

namespace {

bool validUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

TEST(StringTable, IdsAreUniqueAndEveryTextIsNonEmptyUtf8) {
    std::set<int> ids;
    for (auto* e = res::begin(); e != res::end(); ++e) {
        EXPECT_TRUE(ids.insert(e->id).second) << "duplicate id " << e->id;
        EXPECT_FALSE(std::string(e->text).empty()) << e->symbol;
        EXPECT_TRUE(validUtf8(e->text)) << e->symbol;
    }
    EXPECT_EQ(ids.size(), res::count());
}

TEST(StringTable, PlaceholdersAreOnlyTheFormsTheCallersPass) {
    // A stray % would make printf-style formatting read arguments that are
    // not there.
    const std::regex placeholder("%(%|d|s|\\.4f)");
    for (auto* e = res::begin(); e != res::end(); ++e) {
        std::string t = e->text;
        std::string rest = std::regex_replace(t, placeholder, "");
        // "(최소 10% - 최대 20000%)" is a label, never formatted.
        if (e->id == res::IDS_ZOOM_RATIO_RANGE)
            continue;
        EXPECT_EQ(rest.find('%'), std::string::npos) << e->symbol << ": " << t;
    }
}

TEST(StringTable, NumberedTextsAreTheProgramsOwn) {
    EXPECT_EQ(res::text(61446), "이름");
    EXPECT_EQ(res::text(61447), "크기");
    EXPECT_EQ(res::text(61448), "종류");
    EXPECT_EQ(res::text(61449), "수정한 날짜");
    EXPECT_EQ(res::text(61470), "Software\\Halvern\\Kamelo\\Cache");
    EXPECT_EQ(res::text(61478),
              "파일을 찾을 수 없습니다. 캐쉬파일을 지우고 Thumbnail 이미지를 다시 불러오십시오.");
    EXPECT_EQ(res::text(61563), "상태바를 만드는 데 실패했습니다.");
    EXPECT_EQ(res::text(61570), "편집모드 끄기\tE");
    EXPECT_EQ(res::text(61571), "편집모드\tE");
    EXPECT_EQ(res::text(61592), "Halvern Kamelo 2.2");
    EXPECT_EQ(res::text(61593), "Kamelo.jpg");
    EXPECT_EQ(res::text(61606), "Kamelo.tiff");
    EXPECT_EQ(res::text(1328), "최하");
    EXPECT_EQ(res::text(61721), "3D 버튼");
    EXPECT_EQ(res::text(61722), "움푹 패인");
    EXPECT_EQ(res::text(res::IDS_MENU_EXIF_ACCEL), "디지털 카메라정보 보기(&E)...\tCtrl+E");
    EXPECT_TRUE(res::text(123).empty());
    EXPECT_FALSE(res::contains(61471)); // a toolbar command, not a text
}

TEST(StringTable, FormattingFillsThePlaceholders) {
    EXPECT_EQ(res::format(res::IDS_STATUS_ITEM_COUNT, 12), "총 아이템수 : 12개");
    EXPECT_EQ(res::format(res::IDS_VIEWER_STATUS_INFO, 640, 480, 24, 57, 100, "JPEG"),
              "640x480x24b  57KB  ZOOM(100%)  압축(JPEG)");
    EXPECT_EQ(res::format(res::IDS_EXIF_EXPOSURE_FRACTION, 125, 0.008), "1/125초 (0.0080초)");
    EXPECT_EQ(res::format(999999), "");
}
