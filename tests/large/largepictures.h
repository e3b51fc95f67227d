#pragma once

// Huge test pictures written by streaming writers, a row or a tile at a
// time, so that making a 280-megapixel file never holds it whole. Each is
// made once per build machine into a folder under the test temp folder and
// reused by later test processes (ctest runs every test in its own).
#include <cstdint>
#include <ostream>
#include <string>

namespace kamelo::test::large {

// Every picture is four flat quadrants split at (width / 2, height / 2):
// top left, top right, bottom left, bottom right.
inline constexpr uint32_t kQuadrants[4] = {0xD02020, 0x20B040, 0x2040D0, 0xF0F0F0};
// The colour of the quadrant holding (x, y) of a width x height picture.
uint32_t quadrantAt(int x, int y, int width, int height);

enum class Sample {
    Jpeg,          // baseline 4:2:0, quality 90
    Png,           // 2-bit palette
    PngInterlaced, // 2-bit palette, Adam7
    TiffTiled,     // 256 x 256 deflate tiles, RGB, BigTIFF
    TiffStrip,     // one deflate strip, RGB
    TiffPyramid,   // tiled, with a reduced page at 1/8 in colours shifted by kShift
    TiffSubIfd,    // the same with the reduced copy in an unmarked SubIFD
    TiffTiled16,   // tiled, 16 bits a sample (through libtiff's RGBA reading)
    TiffStrips16,  // strips of 64 rows, 16 bits a sample
};
inline constexpr int kShift = 0x10;
// The kind's name, for test names.
const char* label(Sample kind);
void PrintTo(Sample kind, std::ostream* os);

struct SampleFile {
    std::string path;
    int width = 0;
    int height = 0;
};

// The sample of that kind at width x height, made when missing.
SampleFile sample(Sample kind, int width, int height);

// JPEGs of the quadrants in the other layouts the decoder meets.
enum class JpegLayout {
    Grey,        // the quadrants' grey (kQuadrantGreys)
    Cmyk,        // Adobe CMYK, as libjpeg writes it
    Progressive, // 4:2:0
};
inline constexpr uint32_t kQuadrantGreys[4] = {0x505050, 0x909090, 0x303030, 0xF0F0F0};
SampleFile jpegSample(JpegLayout layout, int width, int height);

// A small grey TIFF whose rows are stored in the given orientation.
std::string tiffOriented(int orientation);

// A copy of a file cut to keepPercent of its bytes.
std::string cutCopy(const std::string& path, int keepPercent);

// A JPEG header declaring width x height, with a few bytes of data.
std::string jpegBomb(int width, int height);
// A PNG whose header declares width x height, with one tiny IDAT.
std::string pngBomb(int width, int height);
// A TIFF whose one deflate strip declares width x height in a tiny file.
std::string tiffBomb(uint32_t width, uint32_t height);

// The most memory (KB) a step run in a child process added to what the
// child had; -1 when the step did not return 1.
long peakGrowthKb(int (*step)(const std::string&), const std::string& path);

} // namespace kamelo::test::large
