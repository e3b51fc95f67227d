#pragma once

namespace kamelo {

struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ViewRect&) const = default;
};

// The viewer's zoom and pan arithmetic: the zoom step tables, the fit
// factor, where the picture lies in the window, and the pan offset (0 or
// negative in each direction) through zoom changes, drags and resizes.
class ZoomRules {
public:
    static constexpr int kMaxPercent = 20000;
    static constexpr int kMinPercent = 10;

    // The factor in whole percent as the tables read it.
    static int percent(double factor);
    // The next factor up / down (the same factor when nothing happens).
    static double zoomIn(double factor);
    static double zoomOut(double factor);
    // 1.0 when a w x h picture fits W x H, else the factor that fits it.
    static double fitFactor(int w, int h, int clientW, int clientH);

    // The picture's rectangle in the window. autoFit: zoom mode 1 without a
    // user zoom (the picture's own size when it fits, else fitted).
    static ViewRect layout(int w, int h, int clientW, int clientH, double factor, bool autoFit,
                           int panX, int panY);

    // Where the view's centre lies in the picture (0..1) before a zoom, and
    // the pan offset that keeps it there after.
    static double relativeCentre(int displayed, int client, int pan);
    static int panAfterZoom(int displayed, int client, double relativeCentre);
    // A drag by delta: limited so the offset stays 0 or negative and the
    // far edge never comes inside; 0 where the picture fits.
    static int panBy(int pan, int delta, int displayed, int client);
    // After a resize the far edge is pulled back to the window's edge.
    static int panAfterResize(int pan, int displayed, int client);
};

} // namespace kamelo
