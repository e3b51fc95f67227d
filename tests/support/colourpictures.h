#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pictures carrying ICC profiles, and the colours lcms2 itself computes for
// them, made independently of the program's own colour code.
namespace kamelo::testing::colour {

// Matrix/curve profiles built with lcms2: Display P3 (sRGB curve, D65),
// Adobe RGB (1998), ProPhoto (D50, gamma 1.8) and sRGB.
std::vector<uint8_t> p3Profile();
std::vector<uint8_t> adobeRgbProfile();
std::vector<uint8_t> proPhotoProfile();
std::vector<uint8_t> srgbProfile();

// A w x h JPEG of one colour (0xRRGGBB), quality 100 without subsampling,
// with icc in APP2 "ICC_PROFILE" chunks (none when empty) and, when given,
// an APP1 segment holding exifApp1Payload ("Exif\0\0" and a TIFF block).
std::vector<uint8_t> solidJpeg(int w, int h, uint32_t rgb, const std::vector<uint8_t>& icc,
                               const std::vector<uint8_t>& exifApp1Payload = {});
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// rgb (0xRRGGBB) in profile `from` as lcms2 converts it to `to` at double
// precision without optimisation, rounded.
uint32_t expectedIn(const std::vector<uint8_t>& from, const std::vector<uint8_t>& to, uint32_t rgb,
                    int intent = 0);
uint32_t expectedSrgb(const std::vector<uint8_t>& from, uint32_t rgb, int intent = 0);
// Whether every channel of a and b differs by at most tolerance.
bool near(uint32_t a, uint32_t b, int tolerance = 2);

} // namespace kamelo::testing::colour
