#include "transition.h"

#include "core/pagefault.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kamelo::imaging {

namespace {

// The list's effects in list order: fade, push, pixel, four ways, circle,
// rectangle, blinds, pixel drop.
constexpr int kListNumbers[Transition::kEffectCount] = {
    Transition::kFade,   Transition::kPush,      Transition::kPixel,  Transition::kFourWays,
    Transition::kCircle, Transition::kRectangle, Transition::kBlinds, Transition::kPixelDrop};

// The slide show's cross-fade: one opacity step per display frame.
constexpr int kShowFadeStep = 6;
constexpr int kShowFadeFloor = 3;
constexpr int kPreviewFadeStep = 10;
constexpr int kPreviewFadeFloor = 5;

int wrap4(int value) {
    return ((value - 1) % 4 + 4) % 4;
}

// Motion that starts quickly and settles.
double easeOut(double t) {
    return 1.0 - (1.0 - t) * (1.0 - t);
}

struct Frame {
    const QImage& from;
    const QImage& to;
    QImage& out;
    int w;
    int h;

    const uint32_t* row(const QImage& image, int y) const {
        return reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    }
    uint32_t* outRow(int y) { return reinterpret_cast<uint32_t*>(out.scanLine(y)); }

    void copyAll(const QImage& source) {
        for (int y = 0; y < h; ++y)
            std::memcpy(outRow(y), row(source, y), size_t(w) * 4);
    }
    // Copies the part of the source rectangle (sx, sy, cw, ch) that lands in
    // the view when it is placed at (dx, dy).
    void copyRect(const QImage& source, int sx, int sy, int cw, int ch, int dx, int dy) {
        if (dx < 0) {
            sx -= dx;
            cw += dx;
            dx = 0;
        }
        if (dy < 0) {
            sy -= dy;
            ch += dy;
            dy = 0;
        }
        if (sx < 0) {
            dx -= sx;
            cw += sx;
            sx = 0;
        }
        if (sy < 0) {
            dy -= sy;
            ch += sy;
            sy = 0;
        }
        cw = std::min({cw, w - dx, w - sx});
        ch = std::min({ch, h - dy, h - sy});
        if (cw <= 0 || ch <= 0)
            return;
        for (int y = 0; y < ch; ++y)
            std::memcpy(outRow(dy + y) + dx, row(source, sy + y) + sx, size_t(cw) * 4);
    }
    // The same place in the source and in the view.
    void copySpan(const QImage& source, int x0, int x1, int y) {
        x0 = std::max(x0, 0);
        x1 = std::min(x1, w);
        if (x1 > x0 && y >= 0 && y < h)
            std::memcpy(outRow(y) + x0, row(source, y) + x0, size_t(x1 - x0) * 4);
    }
};

void fade(Frame& f, double progress) {
    // The old picture's weight, 255 at the start.
    const uint32_t o = uint32_t(std::clamp(std::lround((1.0 - progress) * 255.0), 0L, 255L));
    const uint32_t n = 255 - o;
    for (int y = 0; y < f.h; ++y) {
        const uint32_t* a = f.row(f.from, y);
        const uint32_t* b = f.row(f.to, y);
        uint32_t* d = f.outRow(y);
        for (int x = 0; x < f.w; ++x) {
            // Red and blue in one word, green in another; each lane divided
            // by 255 with rounding.
            uint32_t rb = (a[x] & 0x00FF00FFu) * o + (b[x] & 0x00FF00FFu) * n + 0x00800080u;
            rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
            uint32_t g = ((a[x] >> 8) & 0xFFu) * o + ((b[x] >> 8) & 0xFFu) * n + 0x80u;
            g = ((g + (g >> 8)) >> 8) & 0xFFu;
            d[x] = 0xFF000000u | rb | (g << 8);
        }
    }
}

void push(Frame& f, const Transition::Effect& e, double progress) {
    const int base = wrap4(e.third);
    const int strips = std::clamp(e.fourth, 1, 64);
    const bool horizontal = base < 2;
    const int across = horizontal ? f.h : f.w; // the strips are cut along this side
    const int along = horizontal ? f.w : f.h;
    const int moved = int(std::lround(easeOut(progress) * along));
    for (int i = 0; i < strips; ++i) {
        const int a0 = int(int64_t(across) * i / strips);
        const int a1 = int(int64_t(across) * (i + 1) / strips);
        // Neighbouring strips move against each other.
        const bool forward = (base % 2 == 0) == (i % 2 == 0);
        // forward: "to" enters at the far end (right or bottom).
        const int fromAt = forward ? -moved : moved;
        const int toAt = forward ? along - moved : moved - along;
        if (horizontal) {
            f.copyRect(f.from, 0, a0, f.w, a1 - a0, fromAt, a0);
            f.copyRect(f.to, 0, a0, f.w, a1 - a0, toAt, a0);
        } else {
            f.copyRect(f.from, a0, 0, a1 - a0, f.h, a0, fromAt);
            f.copyRect(f.to, a0, 0, a1 - a0, f.h, a0, toAt);
        }
    }
}

void pixel(Frame& f, const Transition::Effect& e, double progress) {
    const int percent = std::clamp(e.third, 1, 50);
    const int exponent = std::clamp(e.fourth, 1, 4);
    const int coarsest = std::max(2, std::min(f.w, f.h) * percent / 100);
    const bool second = progress >= 0.5;
    const QImage& source = second ? f.to : f.from;
    const double t = second ? (1.0 - progress) * 2.0 : progress * 2.0;
    // Never finer than 2 pixels between the ends, so every frame shows the change.
    const int block = 2 + int(std::lround((coarsest - 2) * std::pow(t, exponent)));
    for (int by = 0; by < f.h; by += block) {
        const int bh = std::min(block, f.h - by);
        const uint32_t* centreRow = f.row(source, by + bh / 2);
        for (int bx = 0; bx < f.w; bx += block) {
            const int bw = std::min(block, f.w - bx);
            const uint32_t colour = centreRow[bx + bw / 2];
            for (int y = by; y < by + bh; ++y)
                std::fill_n(f.outRow(y) + bx, bw, colour);
        }
    }
}

void fourWays(Frame& f, const Transition::Effect& e, double progress) {
    const bool flyIn = e.third % 2 != 0;
    int n = std::clamp(e.fourth, 1, 16);
    n += n % 2;
    const int rings = n / 2;
    // Outer rings start first; each tile moves for the same time.
    const double delay = rings > 1 ? 0.5 / (rings - 1) : 0.0;
    const double span = 1.0 - delay * (rings - 1);
    f.copyAll(flyIn ? f.from : f.to);
    const QImage& moving = flyIn ? f.to : f.from;
    // Inner tiles are drawn last so that, flying in, they land on top.
    for (int ring = rings - 1; ring >= 0; --ring) {
        const int order = flyIn ? rings - 1 - ring : ring; // outer first when flying in
        const double local = std::clamp((progress - order * delay) / span, 0.0, 1.0);
        const double away = flyIn ? 1.0 - easeOut(local) : easeOut(local);
        for (int ty = 0; ty < n; ++ty) {
            for (int tx = 0; tx < n; ++tx) {
                const int tileRing = std::min(std::min(tx, n - 1 - tx), std::min(ty, n - 1 - ty));
                if (rings - 1 - tileRing != ring)
                    continue;
                const int x0 = int(int64_t(f.w) * tx / n), x1 = int(int64_t(f.w) * (tx + 1) / n);
                const int y0 = int(int64_t(f.h) * ty / n), y1 = int(int64_t(f.h) * (ty + 1) / n);
                const int sx = tx < n / 2 ? -1 : 1;
                const int sy = ty < n / 2 ? -1 : 1;
                // At the far end the tile lies just outside the view.
                const int dx = int(std::lround(away * (sx < 0 ? x1 : f.w - x0))) * sx;
                const int dy = int(std::lround(away * (sy < 0 ? y1 : f.h - y0))) * sy;
                f.copyRect(moving, x0, y0, x1 - x0, y1 - y0, x0 + dx, y0 + dy);
            }
        }
    }
}

// Circles or rectangles in a grid of cells: "inner" is drawn inside the
// shapes over "outer".
void shapes(Frame& f, const Transition::Effect& e, double progress, bool circle) {
    const bool opening = e.third % 2 != 0;
    const int n = std::clamp(e.fourth, 1, 16);
    const double size = opening ? easeOut(progress) : 1.0 - easeOut(progress);
    const QImage& inner = opening ? f.to : f.from;
    f.copyAll(opening ? f.from : f.to);
    for (int cy = 0; cy < n; ++cy) {
        const double y0 = double(f.h) * cy / n, y1 = double(f.h) * (cy + 1) / n;
        const double my = (y0 + y1) / 2.0, halfH = (y1 - y0) / 2.0;
        for (int cx = 0; cx < n; ++cx) {
            const double x0 = double(f.w) * cx / n, x1 = double(f.w) * (cx + 1) / n;
            const double mx = (x0 + x1) / 2.0, halfW = (x1 - x0) / 2.0;
            if (circle) {
                // At full size the circle covers its cell's corners.
                const double r = size * std::sqrt(halfW * halfW + halfH * halfH);
                const int top = int(std::floor(my - r)), bottom = int(std::ceil(my + r));
                for (int y = std::max(top, 0); y < std::min(bottom, f.h); ++y) {
                    const double dy = y + 0.5 - my;
                    const double dx2 = r * r - dy * dy;
                    if (dx2 <= 0)
                        continue;
                    const double dx = std::sqrt(dx2);
                    f.copySpan(inner, int(std::lround(mx - dx)), int(std::lround(mx + dx)), y);
                }
            } else {
                const int left = int(std::lround(mx - size * halfW));
                const int right = int(std::lround(mx + size * halfW));
                const int top = int(std::lround(my - size * halfH));
                const int bottom = int(std::lround(my + size * halfH));
                for (int y = std::max(top, 0); y < std::min(bottom, f.h); ++y)
                    f.copySpan(inner, left, right, y);
            }
        }
    }
}

void blinds(Frame& f, const Transition::Effect& e, double progress) {
    const int style = wrap4(e.fourth);
    const bool horizontal = style % 2 == 0;
    const bool fromMiddle = style >= 2;
    const int across = horizontal ? f.h : f.w;
    const int slats = std::clamp(e.third, 1, std::max(1, std::min(200, across)));
    f.copyAll(f.from);
    for (int i = 0; i < slats; ++i) {
        const int a0 = int(int64_t(across) * i / slats);
        const int a1 = int(int64_t(across) * (i + 1) / slats);
        const int open = int(std::lround(progress * (a1 - a0)));
        int s0 = a0, s1 = a0 + open;
        if (fromMiddle) {
            const int mid = (a0 + a1) / 2;
            s0 = std::max(a0, mid - (open + 1) / 2);
            s1 = std::min(a1, s0 + open);
        }
        if (s1 <= s0)
            continue;
        if (horizontal)
            f.copyRect(f.to, 0, s0, f.w, s1 - s0, 0, s0);
        else
            f.copyRect(f.to, s0, 0, s1 - s0, f.h, s0, 0);
    }
}

// A fixed pseudo-random value 0..1 for a block, the same on every frame.
double blockNoise(uint32_t x, uint32_t y) {
    uint32_t v = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    v ^= v >> 15;
    v *= 0x2C1B3C6Du;
    v ^= v >> 12;
    v *= 0x297A2D39u;
    v ^= v >> 15;
    return (v & 0xFFFFu) / 65535.0;
}

void pixelDrop(Frame& f, const Transition::Effect& e, double progress) {
    const int block = std::clamp(e.third, 1, 256);
    const int direction = wrap4(e.fourth);
    const int cols = (f.w + block - 1) / block, rows = (f.h + block - 1) / block;
    // Each block waits its turn and then falls for this share of the change.
    constexpr double kFall = 0.3;
    f.copyAll(f.from);
    for (int pass = 0; pass < 2; ++pass) { // landed blocks first, falling ones over them
        for (int by = 0; by < rows; ++by) {
            for (int bx = 0; bx < cols; ++bx) {
                // How far the block's place lies from the side it comes from,
                // in rows of blocks: the far side fills first.
                int depth = 0, lanes = 1;
                switch (direction) {
                case 0:
                    depth = rows - 1 - by, lanes = rows;
                    break;
                case 1:
                    depth = by, lanes = rows;
                    break;
                case 2:
                    depth = cols - 1 - bx, lanes = cols;
                    break;
                default:
                    depth = bx, lanes = cols;
                    break;
                }
                const double order = 0.6 * blockNoise(bx, by) + 0.4 * depth / std::max(1, lanes);
                const double start = order * (1.0 - kFall);
                const double t = std::clamp((progress - start) / kFall, 0.0, 1.0);
                if (t <= 0.0 || (pass == 0) != (t >= 1.0))
                    continue;
                const int x = bx * block, y = by * block;
                // Falling speeds up.
                const double left = 1.0 - t * t;
                int dx = x, dy = y;
                switch (direction) {
                case 0:
                    dy = int(std::lround(y - left * (y + block)));
                    break;
                case 1:
                    dy = int(std::lround(y + left * (f.h - y)));
                    break;
                case 2:
                    dx = int(std::lround(x - left * (x + block)));
                    break;
                default:
                    dx = int(std::lround(x + left * (f.w - x)));
                    break;
                }
                f.copyRect(f.to, x, y, block, block, dx, dy);
            }
        }
    }
}

} // namespace

int Transition::effectNumber(int index) {
    return index >= 0 && index < kEffectCount ? kListNumbers[index] : kNone;
}

Transition::Effect Transition::showEffect(int number) {
    switch (number) {
    case kRectangle:
    case kCircle:
        return {number, 2, 1};
    case kFourWays:
        return {number, 2, 4};
    case kPush:
        return {number, 5, 1};
    case kPixelDrop:
        return {number, 23, 1};
    case kBlinds:
        return {number, 20, 1};
    case kPixel:
        return {number, 5, 3};
    default:
        return {number, 15, 1};
    }
}

Transition::Effect Transition::previewEffect(int index) {
    switch (index) {
    case 0:
        return {kFade, 1, 1};
    case 1:
        return {kPush, 1, 5};
    case 2:
        return {kPixel, 6, 1};
    case 3:
        return {kFourWays, 1, 2};
    case 4:
        return {kCircle, 1, 3};
    case 5:
        return {kRectangle, 1, 3};
    case 6:
        return {kBlinds, 5, 3};
    case 7:
        return {kPixelDrop, 5, 1};
    default:
        return {kNone, 1, 1};
    }
}

bool Transition::compose(const Effect& effect, double progress, const QImage& from,
                         const QImage& to, QImage& out) {
    if (from.isNull() || from.size() != to.size() || from.format() != QImage::Format_RGB32 ||
        to.format() != QImage::Format_RGB32)
        return false;
    if (out.size() != from.size() || out.format() != QImage::Format_RGB32 ||
        out.constBits() == from.constBits() || out.constBits() == to.constBits()) {
        out = QImage(from.size(), QImage::Format_RGB32);
        if (!out.isNull())
            faultIn(out.bits(), size_t(out.sizeInBytes()));
    }
    if (out.isNull())
        return false;
    Frame f{from, to, out, from.width(), from.height()};
    if (!(progress > 0.0)) { // NaN counts as the start
        f.copyAll(from);
        return true;
    }
    if (progress >= 1.0) {
        f.copyAll(to);
        return true;
    }
    switch (effect.number) {
    case kFade:
        fade(f, progress);
        break;
    case kPush:
        push(f, effect, progress);
        break;
    case kPixel:
        pixel(f, effect, progress);
        break;
    case kFourWays:
        fourWays(f, effect, progress);
        break;
    case kCircle:
        shapes(f, effect, progress, true);
        break;
    case kRectangle:
        shapes(f, effect, progress, false);
        break;
    case kBlinds:
        blinds(f, effect, progress);
        break;
    case kPixelDrop:
        pixelDrop(f, effect, progress);
        break;
    default:
        f.copyAll(to);
        break;
    }
    return true;
}

std::vector<int> Transition::fadeOpacities(int step, int floor) {
    std::vector<int> out;
    step = std::max(step, 1);
    for (int o = 255; o > floor; o -= step)
        out.push_back(o);
    out.push_back(0);
    return out;
}

double Transition::progressForOpacity(int opacity) {
    return 1.0 - std::clamp(opacity, 0, 255) / 255.0;
}

std::vector<double> Transition::showSchedule() {
    std::vector<double> out;
    for (int o : fadeOpacities(kShowFadeStep, kShowFadeFloor))
        out.push_back(progressForOpacity(o));
    return out;
}

std::vector<double> Transition::previewSchedule() {
    std::vector<double> out;
    for (int o : fadeOpacities(kPreviewFadeStep, kPreviewFadeFloor))
        out.push_back(progressForOpacity(o));
    return out;
}

} // namespace kamelo::imaging
