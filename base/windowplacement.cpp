#include "windowplacement.h"

#include "settingskeys.h"
#include "settingsstore.h"

#include <algorithm>

namespace kamelo {

WindowRect WindowPlacement::defaults(int w, int h) {
    return {w / 8, h / 8, w / 8 * 6, h / 8 * 6};
}

WindowRect WindowPlacement::clampBrowser(WindowRect r, int w, int h) {
    const WindowRect d = defaults(w, h);
    if (r.cx > w + 10)
        r.cx = d.cx;
    if (r.cy > h + 10)
        r.cy = d.cy;
    if (r.x > w || r.x < -r.cx)
        r.x = d.x;
    if (r.y > h || r.y < -r.cy)
        r.y = d.y;
    return r;
}

WindowRect WindowPlacement::clampViewer(WindowRect r, int w, int h) {
    const WindowRect d = defaults(w, h);
    if (r.x < -w || r.x > w)
        r.x = d.x;
    if (r.y < 0 || r.y > h)
        r.y = d.y;
    if (r.cx > w || r.cx < kViewerMinWidth)
        r.cx = d.cx;
    if (r.cy > h || r.cy < kViewerMinHeight)
        r.cy = d.cy;
    return r;
}

namespace {

WindowRect read(const SettingsStore& s, const char* x, const char* y, const char* cx,
                const char* cy, const WindowRect& d) {
    return {s.getInt(keys::kPosition, x, d.x), s.getInt(keys::kPosition, y, d.y),
            s.getInt(keys::kPosition, cx, d.cx), s.getInt(keys::kPosition, cy, d.cy)};
}

void write(SettingsStore& s, const char* x, const char* y, const char* cx, const char* cy,
           const WindowRect& r) {
    SettingsStore::Batch batch(s);
    s.setInt(keys::kPosition, x, r.x);
    s.setInt(keys::kPosition, y, r.y);
    s.setInt(keys::kPosition, cx, r.cx);
    s.setInt(keys::kPosition, cy, r.cy);
    batch.commit();
}

} // namespace

WindowRect WindowPlacement::readBrowser(const SettingsStore& s, int w, int h) {
    using namespace keys;
    return clampBrowser(read(s, kBrowserX, kBrowserY, kBrowserCx, kBrowserCy, defaults(w, h)), w,
                        h);
}

WindowRect WindowPlacement::readViewer(const SettingsStore& s, int w, int h) {
    using namespace keys;
    return clampViewer(read(s, kViewerX, kViewerY, kViewerCx, kViewerCy, defaults(w, h)), w, h);
}

void WindowPlacement::writeBrowser(SettingsStore& s, const WindowRect& r) {
    using namespace keys;
    write(s, kBrowserX, kBrowserY, kBrowserCx, kBrowserCy, r);
}

void WindowPlacement::writeViewer(SettingsStore& s, const WindowRect& r) {
    using namespace keys;
    write(s, kViewerX, kViewerY, kViewerCx, kViewerCy, r);
}

WindowRect WindowPlacement::fitViewer(int wantedWidth, int wantedHeight, int editBarWidth, int w,
                                      int h) {
    const int cw = std::max(wantedWidth + editBarWidth, kViewerMinWidth);
    const int ch = std::max(wantedHeight, kViewerMinHeight);
    const int width = cw > w - 12 ? w : cw + 12;
    const int height = ch > h - 110 ? h : ch + 110;
    return {(w - width) / 2, (h - height) / 2, width, height};
}

int WindowPlacement::splitSize(int total, float ratio) {
    return static_cast<int>(total * static_cast<double>(ratio) + 0.5);
}

float WindowPlacement::ratioAfterDrag(int part, int total, float fallback) {
    if (total <= 0)
        return fallback;
    const float r = static_cast<float>(part) / static_cast<float>(total);
    return r > 0.0f && r < 1.0f ? r : fallback;
}

} // namespace kamelo
