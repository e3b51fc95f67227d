#include "zoomrules.h"

#include <algorithm>
#include <cstdint>

namespace kamelo {

int ZoomRules::percent(double factor) {
    // A hair of tolerance: 0.1 added seven times is 0.7999999..., still 80 %.
    return int(factor * 100.0 + 1e-7);
}

double ZoomRules::zoomIn(double f) {
    const int p = percent(f);
    if (p >= kMaxPercent)
        return f;
    if (p <= 0)
        return f + 0.1;
    if (p < 10)
        return 0.1;
    if (p < 50)
        return f + 0.1;
    if (p < 80)
        return f + 0.3;
    if (p < 100)
        return 1.0;
    if (p < 200)
        return f + 0.5;
    if (p < 500)
        return f + 1.0;
    if (p < 700)
        return f + 3.0;
    if (p < 1000)
        return 10.0;
    if (p < 5000)
        return f + 10.0;
    return f + 50.0;
}

double ZoomRules::zoomOut(double f) {
    const int p = percent(f);
    if (p < 11)
        return f;
    if (p <= 50)
        return f - 0.1;
    if (p <= 100)
        return f - 0.2;
    if (p <= 110)
        return 1.0;
    if (p <= 200)
        return f - 0.5;
    if (p <= 500)
        return f - 1.0;
    if (p <= 1000)
        return f - 3.0;
    if (p <= 5000)
        return f - 10.0;
    // Above 20000 % (one step in from just below it) the last band goes on.
    return f - 50.0;
}

double ZoomRules::fitFactor(int w, int h, int W, int H) {
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0 || (w <= W && h <= H))
        return 1.0;
    // Wider than the window's shape: the width decides.
    if (int64_t(w) * H > int64_t(W) * h)
        return double(W) / w;
    return double(H) / h;
}

ViewRect ZoomRules::layout(int w, int h, int W, int H, double factor, bool autoFit, int panX,
                           int panY) {
    ViewRect r;
    if (w <= 0 || h <= 0)
        return r;
    if (autoFit) {
        const double f = fitFactor(w, h, W, H);
        r.width = f == 1.0 ? w : std::max(1, int(w * f));
        r.height = f == 1.0 ? h : std::max(1, int(h * f));
    } else {
        r.width = std::max(1, int(w * factor));
        r.height = std::max(1, int(h * factor));
    }
    r.x = (r.width < W ? (W - r.width) / 2 : 0) + panX;
    r.y = (r.height < H ? (H - r.height) / 2 : 0) + panY;
    return r;
}

double ZoomRules::relativeCentre(int displayed, int client, int pan) {
    if (displayed <= client || displayed <= 0)
        return 0.5;
    return (client * 0.5 - pan) / displayed;
}

int ZoomRules::panAfterZoom(int displayed, int client, double centre) {
    if (displayed <= client)
        return 0;
    double position = displayed * centre;
    position = std::clamp(position, client * 0.5, displayed - client * 0.5);
    return centre > 0 ? -int(position - client / 2) : 0;
}

int ZoomRules::panBy(int pan, int delta, int displayed, int client) {
    if (displayed <= client)
        return 0;
    return std::clamp(pan + delta, client - displayed, 0);
}

int ZoomRules::panAfterResize(int pan, int displayed, int client) {
    if (pan > 0)
        return 0;
    // The far edge would lie inside the window: move the picture back.
    if (pan < 0 && displayed + pan < client)
        pan = std::min(0, client - displayed);
    return pan;
}

} // namespace kamelo
