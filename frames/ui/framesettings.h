#pragma once

#include "frames/core/decorationrecord.h"

namespace kamelo {
class SettingsStore;
}

namespace kamelo::frames {

// The frame panel's keys in section "Frame Decoration": the chosen frame,
// the destination mode of a batch and the tag and text settings, which
// are the fields of a decoration record.
struct FrameSettings {
    static constexpr const char* kSection = "Frame Decoration";
    // Offsets further out than this can never fall on a canvas.
    static constexpr int kOffsetLimit = 1 << 20;
    static constexpr int kMaxFontSize = 1638;

    int frameSelect = 0;
    int radioSave = 0; // 0 writes over the sources, 1 into another folder
    DecorationRecord record = defaults();

    // Every key with its default; stored values outside their ranges are
    // brought inside as they are read.
    static FrameSettings load(const SettingsStore& store);
    void save(SettingsStore& store) const;
    // The record a fresh panel shows: "Make it Cool - Kamelo" in "굴림".
    static DecorationRecord defaults();
    // The record's numbers brought inside their ranges.
    static void clamp(DecorationRecord& record);
};

} // namespace kamelo::frames
