#pragma once

#include <cstdint>
#include <string>

namespace kamelo::frames {

// The numbers of a skin's INI file, as read (missing numbers are 0).
struct SkinDefinition {
    std::string caption; // empty when the skin has none
    bool attachOnTop = false;
    int32_t startX = 0, startY = 0;
    int32_t marginX = 0, marginY = 0;
    int32_t topLeftCx = 0, topLeftCy = 0;
    int32_t topCx = 0, topCy = 0;
    int32_t topRightCx = 0, topRightCy = 0;
    int32_t leftCx = 0, leftCy = 0;
    int32_t bottomLeftCx = 0, bottomLeftCy = 0;
    int32_t bottomCx = 0, bottomCy = 0;
    int32_t rightCx = 0, rightCy = 0;
    int32_t bottomRightCx = 0, bottomRightCy = 0;
    // Read only for "attach_on_top" skins.
    int32_t specialX = 0, specialY = 0, specialCx = 0, specialCy = 0;
};

// Reads the INI file of a skin. False when it is missing, not a regular
// file or too large to be an INI file; a readable file with odd numbers
// still reads (validity is checked separately).
bool readSkin(const std::string& iniPath, SkinDefinition& definition);
// The same from the INI file's bytes.
SkinDefinition parseSkin(const std::string& bytes);

// The bitmap beside an INI file: its path with the last four characters
// replaced by ".bmp".
std::string skinBitmapPath(const std::string& iniPath);

} // namespace kamelo::frames
