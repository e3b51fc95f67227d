#pragma once

#include <cstdint>
#include <string>

namespace kamelo::test {

// A skin whose frame covers the margins exactly: each edge is as thick as
// its corners, and the picture starts right inside them.
struct TightSkin {
    int leftCx = 7, rightCx = 9;  // widths of the left column and the right column
    int topCy = 8, bottomCy = 10; // heights of the top row and the bottom row
    int topCx = 5, bottomCx = 6;  // edge piece lengths along x
    int leftCy = 4, rightCy = 3;  // edge piece lengths along y
    int bitmapWidth = 24, bitmapHeight = 24;
    bool attachOnTop = false;
    int specialX = 0, specialY = 0, specialCx = 0, specialCy = 0;
};

// Piece numbers in the colours of a generated skin bitmap.
enum TightPiece { TL = 0, TOP, TR, LEFT, BL, BOTTOM, RIGHT, BR, SPECIAL };

// Colour of pixel (lx, ly) of a piece: red tells the piece, green and blue
// the pixel's place in it (0x00RRGGBB).
inline uint32_t pieceColour(int piece, int lx, int ly) {
    return uint32_t(10 + piece * 20) << 16 | uint32_t(lx) << 8 | uint32_t(ly);
}
// Colour of picture pixel (x, y).
inline uint32_t pictureColour(int x, int y) {
    return 0xFA0000u | uint32_t(x & 0xFF) << 8 | uint32_t(y & 0xFF);
}

// The INI text of the skin.
std::string tightSkinIni(const TightSkin& skin, const std::string& caption = "시험 액자");
// Writes NAME.ini and NAME.bmp into folder; returns the INI path.
std::string writeTightSkin(const std::string& folder, const std::string& name,
                           const TightSkin& skin);
// The colour pixel (x, y) of a cw x ch canvas framed with the skin must have.
uint32_t expectedTightPixel(const TightSkin& skin, int cw, int ch, int x, int y);

// Text needs the desktop's fonts: a QGuiApplication made once.
void ensureGui();

} // namespace kamelo::test
