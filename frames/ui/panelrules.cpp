#include "panelrules.h"

#include "resources/stringtable.h"

#include <algorithm>
#include <cmath>

namespace kamelo::frames {

namespace {
// Anchor columns: 0 left, 1 centre, 2 right; rows: 0 top, 1 middle, 2 bottom.
int columnOf(int anchor) {
    return anchor >= 0 && anchor < PanelRules::kAnchorCount ? anchor % 3 : 0;
}
int rowOf(int anchor) {
    static constexpr int rows[PanelRules::kAnchorCount] = {2, 2, 2, 0, 0, 0, 1, 1, 1};
    return anchor >= 0 && anchor < PanelRules::kAnchorCount ? rows[anchor] : 2;
}

// Offsets from lo to hi keep the object inside; wholly inside means
// rounding inwards, and an object that cannot fit stays where it is.
OffsetRange inside(double lo, double hi) {
    const double a = std::ceil(lo - 1e-9);
    const double b = std::floor(hi + 1e-9);
    if (a > b || a < -2147483647.0 || b > 2147483647.0)
        return {0, 0};
    return {int(a), int(b)};
}
} // namespace

OffsetRanges PanelRules::tagRanges(int anchor, int cw, int ch, int w, int h) {
    const int64_t cols[3] = {0, int64_t(cw / 2) - w / 2, int64_t(cw) - w};
    const int64_t rows[3] = {0, int64_t(ch / 2) - h / 2, int64_t(ch) - h};
    const double ax = double(cols[columnOf(anchor)]);
    const double ay = double(rows[rowOf(anchor)]);
    return {inside(-ax, double(cw) - w - ax), inside(-ay, double(ch) - h - ay)};
}

OffsetRanges PanelRules::textRanges(int anchor, int cw, int ch, double w, double h) {
    const double cols[3] = {0, double(cw / 2) - w / 2, double(cw) - w};
    const double rows[3] = {0, double(ch / 2) - h / 2, double(ch) - h};
    const double ax = cols[columnOf(anchor)];
    const double ay = rows[rowOf(anchor)];
    return {inside(-ax, double(cw) - w - ax), inside(-ay, double(ch) - h - ay)};
}

int PanelRules::accelerationStep(int64_t heldMs) {
    if (heldMs >= 4000)
        return 40;
    if (heldMs >= 3000)
        return 15;
    if (heldMs >= 2000)
        return 10;
    return 1;
}

std::string PanelRules::fontLabel(const std::string& face, int size, bool bold, bool italic,
                                  bool strikeout, bool underline) {
    std::string label = face + ", " + std::to_string(size);
    if (bold && italic)
        label += res::text(res::IDS_FONT_BOLD_ITALIC);
    else if (bold)
        label += res::text(res::IDS_FONT_BOLD);
    else if (italic)
        label += res::text(res::IDS_FONT_ITALIC);
    if (strikeout)
        label += res::text(res::IDS_FONT_STRIKEOUT);
    if (underline)
        label += res::text(res::IDS_FONT_UNDERLINE);
    return label;
}

} // namespace kamelo::frames
