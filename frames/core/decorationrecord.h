#pragma once

#include <cstdint>
#include <string>

namespace kamelo::frames {

// What one picture is decorated with: a frame skin, a tag picture and a
// line of text. Fields follow the order the frame panel fills them in;
// strings are held whole (UTF-8) since nothing stores the record itself.
struct DecorationRecord {
    int32_t frameIndex = 0; // in the frame list; 0 is "no frame"
    std::string skinPath;   // the skin's INI file
    int32_t drawTag = 0;
    std::string tagPath;
    int32_t tagPosition = 0; // anchor 0..8
    int32_t tagOffsetX = 0;
    int32_t tagOffsetY = 0;
    int32_t drawText = 0;
    std::string text;
    std::string fontFace;
    int32_t fontSize = 20; // points
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t strikeout = 0;
    int32_t underline = 0;
    uint32_t textColour = 0;  // 0x00BBGGRR: red in the lowest byte
    int32_t textPosition = 0; // anchor 0..8
    int32_t textOffsetX = 0;
    int32_t textOffsetY = 0;
    uint8_t textAlpha = 255;
    int32_t rendering = 0; // 0 anti-aliased, 1 sub-pixel, 2 none; others as 0
};

} // namespace kamelo::frames
