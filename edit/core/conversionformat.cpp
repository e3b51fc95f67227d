#include "conversionformat.h"

#include "base/settingsstore.h"

#include <algorithm>

namespace kamelo::edit {

namespace {
constexpr const char* kSection = "General";
constexpr const char* kFormatKey = "Convert Format Selected";
constexpr const char* kSliderKey = "Jpeg Quality Slider Pos";

constexpr std::array<int, JpegQualityScale::kPositions> kFactors = {255, 227, 198, 170, 142,
                                                                    114, 85,  57,  29,  2};
constexpr std::array<int, JpegQualityScale::kPositions> kLabels = {
    1328, 1328, 61520, 61520, 61521, 61521, 61522, 61522, 61522, 61523};
} // namespace

int JpegQualityScale::clampPosition(int position) {
    return std::clamp(position, 0, kPositions - 1);
}

int JpegQualityScale::factorAt(int position) {
    return kFactors[size_t(clampPosition(position))];
}

int JpegQualityScale::labelIdAt(int position) {
    return kLabels[size_t(clampPosition(position))];
}

ConvertSettings ConvertSettings::read(const SettingsStore& store) {
    ConvertSettings s;
    const int format = store.getInt(kSection, kFormatKey, 0);
    s.formatIndex = format >= 0 && format < int(kConversionFormats.size()) ? format : 0;
    s.sliderPosition = JpegQualityScale::clampPosition(store.getInt(kSection, kSliderKey, 8));
    return s;
}

bool ConvertSettings::write(SettingsStore& store) const {
    const bool a = store.setInt(kSection, kFormatKey, formatIndex);
    const bool b = store.setInt(kSection, kSliderKey, sliderPosition);
    return a && b;
}

const ConversionFormat& ConvertSettings::format() const {
    const int i =
        formatIndex >= 0 && formatIndex < int(kConversionFormats.size()) ? formatIndex : 0;
    return kConversionFormats[size_t(i)];
}

} // namespace kamelo::edit
