#pragma once

#include <cstdint>
#include <string>

namespace kamelo::prefs {

// The thumbnail page's ranges and the slider positions of its values: the
// height and border sliders run the other way (their top is the largest
// value), so their position is the range's far end minus the value.
struct PrefsRules {
    static constexpr int kThumbMin = 50;
    static constexpr int kThumbMax = 200;
    static constexpr int kBorderMin = 0;
    static constexpr int kBorderMax = 50;

    static int heightPosition(int height) { return kThumbMin + kThumbMax - height; }
    static int heightFromPosition(int position) { return kThumbMin + kThumbMax - position; }
    static int borderPosition(int border) { return kBorderMax - border; }
    static int borderFromPosition(int position) { return kBorderMax - position; }

    // A digits-only field's text as a value of [min, max]: clamped, and the
    // fallback when it holds no digits at all.
    static int clampField(const std::string& text, int min, int max, int fallback);

    // Colours are kept as 0x00BBGGRR.
    static uint32_t colorRef(int red, int green, int blue);
    static int red(uint32_t ref) { return int(ref & 0xFF); }
    static int green(uint32_t ref) { return int((ref >> 8) & 0xFF); }
    static int blue(uint32_t ref) { return int((ref >> 16) & 0xFF); }
};

} // namespace kamelo::prefs
