#pragma once

namespace kamelo {

class SettingsStore;

struct WindowRect {
    int x = 0, y = 0, cx = 0, cy = 0;
    bool operator==(const WindowRect&) const = default;
};

// Where the two frames go, from the stored "position" values and the work
// area (width W, height H). Defaults are W/8, H/8, W/8*6, H/8*6 in integer
// arithmetic; stored values that would put a frame off the screen fall back
// to them.
class WindowPlacement {
public:
    static WindowRect defaults(int workWidth, int workHeight);

    // cx above W + 10, cy above H + 10, x above W or below -cx, y above H or
    // below -cy each fall back to their default.
    static WindowRect clampBrowser(WindowRect stored, int workWidth, int workHeight);
    // x outside -W..W, y outside 0..H, cx above W or below 385, cy above H or
    // below 150 each fall back to their default.
    static WindowRect clampViewer(WindowRect stored, int workWidth, int workHeight);

    static WindowRect readBrowser(const SettingsStore& store, int workWidth, int workHeight);
    static WindowRect readViewer(const SettingsStore& store, int workWidth, int workHeight);
    static void writeBrowser(SettingsStore& store, const WindowRect& r);
    static void writeViewer(SettingsStore& store, const WindowRect& r);

    // The viewer frame around a picture of the wanted client size: at least
    // 385 x 150 of picture, plus 12 x 110 for the frame's own parts, the whole
    // work area when that does not fit, centred in the work area.
    static WindowRect fitViewer(int wantedWidth, int wantedHeight, int editBarWidth, int workWidth,
                                int workHeight);

    // Pane size from a split ratio: total x ratio, rounded half up.
    static int splitSize(int total, float ratio);
    // Ratio after a drag: part / total when strictly between 0 and 1, else the default.
    static float ratioAfterDrag(int part, int total, float fallback);

    static constexpr int kViewerMinWidth = 385;
    static constexpr int kViewerMinHeight = 150;
};

} // namespace kamelo
