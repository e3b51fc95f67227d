#include "frames/core/frameskin.h"
#include "frames/core/skindefinition.h"
#include "frames/framecomposer.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kamelo;
using namespace kamelo::frames;

namespace {
bool isBmp24(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    unsigned char h[30] = {};
    f.read(reinterpret_cast<char*>(h), sizeof h);
    return f && h[0] == 'B' && h[1] == 'M' && h[28] == 24 && h[29] == 0;
}
} // namespace

TEST(BundledSkins, FiveValidSkinsWithKoreanCaptions) {
    bool noIni = true;
    const std::vector<SkinEntry> skins = listSkins(KAMELO_BUNDLED_SKINS, &noIni);
    EXPECT_FALSE(noIni);
    ASSERT_GE(skins.size(), 5u);
    int attachOnTop = 0, offCentre = 0;
    for (const SkinEntry& e : skins) {
        // Hangul syllables are three UTF-8 bytes starting 0xEA..0xED.
        const unsigned char first = static_cast<unsigned char>(e.caption[0]);
        EXPECT_TRUE(first >= 0xEA && first <= 0xED) << e.caption;
        EXPECT_EQ(checkSkinFile(e.iniPath), FrameError::None) << e.iniPath;
        EXPECT_TRUE(isBmp24(skinBitmapPath(e.iniPath))) << e.iniPath;
        SkinDefinition s;
        ASSERT_TRUE(readSkin(e.iniPath, s));
        attachOnTop += s.attachOnTop;
        if (s.topCx != s.bottomCx && s.topCy != s.bottomCy &&
            (2 * s.startX != s.marginX || 2 * s.startY != s.marginY))
            ++offCentre;
        imaging::Bitmap picture, framed;
        picture.create(33, 21, 0x123456);
        ASSERT_EQ(frameBitmap(picture, e.iniPath, framed), FrameError::None);
        EXPECT_EQ(framed.width(), 33 + s.marginX);
        // The picture is inside, unless the special piece lies over it.
        if (!s.attachOnTop) {
            EXPECT_EQ(framed.pixel(s.startX + 16, s.startY + 20), 0x123456u) << e.iniPath;
        }
    }
    EXPECT_GE(attachOnTop, 1);
    EXPECT_GE(offCentre, 1);
}
