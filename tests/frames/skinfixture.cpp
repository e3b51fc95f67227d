#include "skinfixture.h"

#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "tests/support/scratchdir.h"

#include <QGuiApplication>

namespace kamelo::test {

std::string tightSkinIni(const TightSkin& s, const std::string& caption) {
    std::string ini = "[GENERAL]\nCAPTION=" + caption + "\n";
    ini += s.attachOnTop ? "TYPE=attach_on_top\n" : "TYPE=NORMAL\n";
    const auto line = [&ini](const char* key, int value) {
        ini += std::string(key) + "=" + std::to_string(value) + "\n";
    };
    ini += "[SKIN]\n";
    line("START_X", s.leftCx);
    line("START_Y", s.topCy);
    line("MARGIN_X", s.leftCx + s.rightCx);
    line("MARGIN_Y", s.topCy + s.bottomCy);
    line("TOP_LEFT_CX", s.leftCx);
    line("TOP_LEFT_CY", s.topCy);
    line("TOP_CX", s.topCx);
    line("TOP_CY", s.topCy);
    line("TOP_RIGHT_CX", s.rightCx);
    line("TOP_RIGHT_CY", s.topCy);
    line("LEFT_CX", s.leftCx);
    line("LEFT_CY", s.leftCy);
    line("BOTTOM_LEFT_CX", s.leftCx);
    line("BOTTOM_LEFT_CY", s.bottomCy);
    line("BOTTOM_CX", s.bottomCx);
    line("BOTTOM_CY", s.bottomCy);
    line("RIGHT_CX", s.rightCx);
    line("RIGHT_CY", s.rightCy);
    line("BOTTOM_RIGHT_CX", s.rightCx);
    line("BOTTOM_RIGHT_CY", s.bottomCy);
    if (s.attachOnTop) {
        ini += "[SPECIAL]\n";
        line("SPECIAL_X", s.specialX);
        line("SPECIAL_Y", s.specialY);
        line("SPECIAL_CX", s.specialCx);
        line("SPECIAL_CY", s.specialCy);
    }
    return ini;
}

std::string writeTightSkin(const std::string& folder, const std::string& name, const TightSkin& s) {
    imaging::Bitmap b;
    b.create(s.bitmapWidth, s.bitmapHeight, 0x808080);
    const int sw = s.bitmapWidth, sh = s.bitmapHeight;
    const auto fill = [&b](int piece, int x0, int y0, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.setPixel(x0 + x, y0 + y, pieceColour(piece, x, y));
    };
    fill(TL, 0, 0, s.leftCx, s.topCy);
    fill(TOP, s.leftCx, 0, s.topCx, s.topCy);
    fill(TR, sw - s.rightCx, 0, s.rightCx, s.topCy);
    fill(LEFT, 0, s.topCy, s.leftCx, s.leftCy);
    fill(BL, 0, sh - s.bottomCy, s.leftCx, s.bottomCy);
    fill(BOTTOM, s.leftCx, sh - s.bottomCy, s.bottomCx, s.bottomCy);
    fill(RIGHT, sw - s.rightCx, s.topCy, s.rightCx, s.rightCy);
    fill(BR, sw - s.rightCx, sh - s.bottomCy, s.rightCx, s.bottomCy);
    if (s.attachOnTop)
        fill(SPECIAL, s.specialX, s.specialY, s.specialCx, s.specialCy);
    const std::string ini = folder + "/" + name + ".ini";
    writeFile(ini, tightSkinIni(s));
    imaging::PictureSaver::save(b, folder + "/" + name + ".bmp", imaging::saveformat::kBmp);
    return ini;
}

uint32_t expectedTightPixel(const TightSkin& s, int cw, int ch, int x, int y) {
    if (s.attachOnTop) {
        const int sx0 = cw / 2 - s.specialCx / 2;
        if (x >= sx0 && x < sx0 + s.specialCx && y < s.specialCy)
            return pieceColour(SPECIAL, x - sx0, y);
    }
    const int right0 = cw - s.rightCx, bottom0 = ch - s.bottomCy;
    const bool left = x < s.leftCx, right = x >= right0;
    const bool top = y < s.topCy, bottom = y >= bottom0;
    if (top && left)
        return pieceColour(TL, x, y);
    if (top && right)
        return pieceColour(TR, x - right0, y);
    if (top)
        return pieceColour(TOP, (x - s.leftCx) % s.topCx, y);
    if (bottom && left)
        return pieceColour(BL, x, y - bottom0);
    if (bottom && right)
        return pieceColour(BR, x - right0, y - bottom0);
    if (bottom)
        return pieceColour(BOTTOM, (x - s.leftCx) % s.bottomCx, y - bottom0);
    if (left)
        return pieceColour(LEFT, x, (y - s.topCy) % s.leftCy);
    if (right)
        return pieceColour(RIGHT, x - right0, (y - s.topCy) % s.rightCy);
    return pictureColour(x - s.leftCx, y - s.topCy);
}

void ensureGui() {
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "frames_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives as long as the test program
}

} // namespace kamelo::test
