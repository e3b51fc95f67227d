#pragma once

#include <array>
#include <string>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::edit {

// The formats of the conversion dialog, in its list order: the four it has
// always offered, then the web's WebP and AVIF.
struct ConversionFormat {
    const char* name;  // the extension written, upper case as shown ("JPG")
    int libraryFormat; // save format code
    bool usesQuality;  // JPG, WEBP and AVIF take the quality slider
};
inline constexpr std::array<ConversionFormat, 6> kConversionFormats = {{
    {"BMP", 6, false},
    {"JPG", 10, true},
    {"PCX", 1, false},
    {"PNG", 75, false},
    {"WEBP", 160, true},
    {"AVIF", 161, true},
}};
// How many of them the dialog offered before the web's formats.
inline constexpr size_t kClassicConversionFormats = 4;

// The JPEG quality slider: positions 0..9, the library's quality factor (a
// smaller factor is a better picture) and the name shown under the slider.
class JpegQualityScale {
public:
    static constexpr int kPositions = 10;
    // Out-of-range positions are clamped to 0..9.
    static int factorAt(int position);
    static int labelIdAt(int position); // string id: 1328, 61520 ... 61523
    static int clampPosition(int position);
};

// "General"/"Convert Format Selected" and "Jpeg Quality Slider Pos".
struct ConvertSettings {
    int formatIndex = 0;    // 0..5
    int sliderPosition = 8; // 0..9

    // A stored format outside the list counts as 0; the slider is clamped.
    static ConvertSettings read(const SettingsStore& store);
    bool write(SettingsStore& store) const;
    const ConversionFormat& format() const;
    int qualityFactor() const { return JpegQualityScale::factorAt(sliderPosition); }
};

} // namespace kamelo::edit
