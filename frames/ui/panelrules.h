#pragma once

#include <cstdint>
#include <string>

namespace kamelo::frames {

// Limits of an offset spin: what keeps the object inside the canvas.
struct OffsetRange {
    int min = 0;
    int max = 0;
    int clamp(int value) const { return value < min ? min : value > max ? max : value; }
};

struct OffsetRanges {
    OffsetRange x;
    OffsetRange y;
};

// The rules of the frame panel that need no widgets.
class PanelRules {
public:
    static constexpr int kAnchorCount = 9;

    // Offsets that keep a w x h tag (integer halves) or a measured text box
    // (exact halves) inside a cw x ch canvas at the anchor. An object larger
    // than the canvas on a side gets 0..0 there: the range is never inverted.
    static OffsetRanges tagRanges(int anchor, int cw, int ch, int w, int h);
    static OffsetRanges textRanges(int anchor, int cw, int ch, double w, double h);

    // The step of an offset spin held down for heldMs milliseconds:
    // 1, then 10, 15 and 40 after two, three and four seconds.
    static int accelerationStep(int64_t heldMs);

    // face + ", " + size and the style suffixes, as the font label shows it.
    static std::string fontLabel(const std::string& face, int size, bool bold, bool italic,
                                 bool strikeout, bool underline);
};

} // namespace kamelo::frames
