#include "levelsadjuster.h"

#include <algorithm>
#include <cmath>

namespace kamelo::edit {

bool LevelsAdjuster::isIdentity() const {
    for (int c = kRed; c <= kBlue; ++c) {
        const Table t = table(c);
        for (int i = 0; i < 256; ++i)
            if (t[i] != i)
                return false;
    }
    return true;
}

double LevelsAdjuster::mapSet(const LevelSet& set, double v) {
    v *= 255.0;
    if (set.white > set.black)
        v = (v - set.black) / (set.white - set.black);
    else
        v /= 255.0;
    if (set.gamma != 0) {
        const double e = 1.0 / set.gamma;
        v = v < 0 ? -std::pow(-v, e) : std::pow(v, e);
    }
    if (set.outWhite >= set.outBlack)
        v = v * (set.outWhite - set.outBlack) + set.outBlack;
    else
        v = set.outBlack - (set.outBlack - set.outWhite) * v;
    return v / 255.0;
}

double LevelsAdjuster::curve(int channel, double x) const {
    return mapSet(sets_[kAll], mapSet(sets_[channel & 3], x));
}

LevelsAdjuster::Table LevelsAdjuster::table(int channel) const {
    Table t{};
    for (int i = 0; i < 256; ++i) {
        const double v = std::trunc(curve(channel, i / 255.0) * 255.0 + 0.5);
        t[i] = static_cast<uint8_t>(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 255.0));
    }
    return t;
}

void LevelsAdjuster::autoLevel(int s) {
    LevelSet& set = sets_[s & 3];
    const Histogram& h = histograms_[s & 3];
    set.gamma = 1.0;
    set.outBlack = 0;
    set.outWhite = 255;
    double n = 0;
    for (uint32_t v : histograms_[kAll])
        n += v;
    if (n == 0) {
        set.black = set.white = 0;
        return;
    }
    constexpr double kCut = 0.005;
    double c = 0;
    for (int i = 0; i <= 254; ++i) {
        c += h[i];
        if (std::abs(c / n - kCut) < std::abs((c + h[i + 1]) / n - kCut)) {
            set.black = i + 1;
            break;
        }
    }
    c = 0;
    for (int i = 255; i >= 1; --i) {
        c += h[i];
        if (std::abs(c / n - kCut) < std::abs((c + h[i - 1]) / n - kCut)) {
            set.white = i - 1;
            break;
        }
    }
}

void LevelsAdjuster::autoColour() {
    for (int s = kRed; s <= kBlue; ++s)
        autoLevel(s);
}

double LevelsAdjuster::clampGamma(double gamma) {
    if (!(gamma >= kMinGamma)) // NaN too
        return kMinGamma;
    return std::min(gamma, kMaxGamma);
}

int LevelsAdjuster::gammaMarker(double gamma, int black, int white) {
    return static_cast<int>(std::log10(10.0 * clampGamma(gamma)) * (white - black) / 2.0 + black);
}

double LevelsAdjuster::gammaAt(int position, int black, int white) {
    if (white <= black)
        return 1.0;
    const double t = std::clamp(double(position - black) / (white - black), 0.0, 1.0);
    // Two decimals, as the field shows it.
    return std::round(kMinGamma * std::pow(100.0, t) * 100.0) / 100.0;
}

void ColourRecord::storeLevels(const LevelsAdjuster& levels) {
    for (int s = 0; s < 4; ++s) {
        const LevelSet& l = levels.levelSet(s);
        gamma[s] = l.gamma;
        black[s] = l.black;
        white[s] = l.white;
        outBlack[s] = l.outBlack;
        outWhite[s] = l.outWhite;
    }
}

void ColourRecord::loadLevels(LevelsAdjuster& levels) const {
    for (int s = 0; s < 4; ++s)
        levels.setLevelSet(s, {black[s], gamma[s], white[s], outBlack[s], outWhite[s]});
}

} // namespace kamelo::edit
