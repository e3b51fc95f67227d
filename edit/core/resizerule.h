#pragma once

#include <cstdint>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::edit {

// The resize tool's choices, kept in "General".
struct ResizeSettings {
    enum Mode : int { ByPercent = 0, BySize = 1 };
    enum FitSide : int { FitWidth = 0, FitHeight = 1 };
    enum SaveMode : int { SaveOverwrite = 0, SaveToFolder = 1 };

    static constexpr int kMinPercent = 1;
    static constexpr int kMaxPercent = 5000;

    int32_t mode = ByPercent;
    int32_t percent = 50;
    int32_t width = 500;
    int32_t height = 500;
    int32_t keepRatio = 1;
    int32_t fitSide = FitWidth;
    int32_t interpolation = 0; // list index: bicubic, resample, normal
    int32_t saveMode = SaveOverwrite;

    static ResizeSettings read(const SettingsStore& store);
    // The seven keys of every resize, and the save mode when asked (only
    // the browser's dialog shows it).
    bool write(SettingsStore& store, bool withSaveMode) const;
};

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

class ResizeRule {
public:
    // The resampling flag of a list index (0 bicubic 4, 1 resample 2,
    // 2 normal 0); -1 for an index outside the list.
    static int flagForIndex(int index);
    // The size a width x height picture is resized to, computed in double
    // precision and truncated toward zero. Sides beyond the int range are
    // given as INT32_MAX, which the resampler refuses like a side of 0.
    static PixelSize targetSize(const ResizeSettings& s, int width, int height);
    // A side of zero or less cannot be made.
    static bool makeable(PixelSize size) { return size.width > 0 && size.height > 0; }

    // Which controls the form enables for the settings.
    struct Enabling {
        bool percent = false; // the percent edit and its "%" label
        bool keepRatio = false;
        bool fitSide = false; // the "맞추기" list and its label
        bool width = false;
        bool height = false;
        bool folder = false; // the save group's folder edit and "..."
    };
    static Enabling enabling(const ResizeSettings& s);
};

} // namespace kamelo::edit
