#pragma once

#include <array>
#include <cstdint>

namespace kamelo::edit {

// One set of levels: input black and white, gamma, output black and white.
struct LevelSet {
    int black = 0;
    double gamma = 1.0;
    int white = 255;
    int outBlack = 0;
    int outWhite = 255;
    bool operator==(const LevelSet&) const = default;
};

// The levels of a picture without the picture: four level sets (0 all
// channels, 1 red, 2 green, 3 blue), the curve they make, the three
// channel tables, and the automatic levels read from the histograms.
class LevelsAdjuster {
public:
    using Histogram = std::array<uint32_t, 256>;
    using Table = std::array<uint8_t, 256>;
    static constexpr int kAll = 0, kRed = 1, kGreen = 2, kBlue = 3;
    static constexpr double kMinGamma = 0.1;
    static constexpr double kMaxGamma = 10.0;

    // [0] luminance, [1] red, [2] green, [3] blue.
    void setHistograms(const std::array<Histogram, 4>& h) { histograms_ = h; }
    const Histogram& histogram(int index) const { return histograms_[index & 3]; }

    const LevelSet& levelSet(int s) const { return sets_[s & 3]; }
    void setLevelSet(int s, const LevelSet& set) { sets_[s & 3] = set; }
    void reset() { sets_ = {}; }
    bool isIdentity() const;

    // One set applied to v in 0..1 (the result may leave 0..1). A set whose
    // input white is not above its input black leaves the input range as it
    // is: such a pair comes only from the automatic levels of a picture with
    // one value, and stretching by it would blacken or invert the picture.
    static double mapSet(const LevelSet& set, double v);
    // Channel 1..3: its own set, then set 0.
    double curve(int channel, double x) const;
    // Entry i = trunc(curve(i / 255) * 255 + 0.5), limited to 0..255.
    Table table(int channel) const;

    // Automatic levels of set s from histogram s: gamma 1, output 0..255,
    // input black and white where 0.5 % of the pixels lie beyond; a side
    // that finds no such place keeps its value.
    void autoLevel(int s);
    // "자동 색상": sets 1, 2, 3. "자동 대비": set 0.
    void autoColour();
    void autoContrast() { autoLevel(kAll); }

    // The limits the panel's fields keep.
    static double clampGamma(double gamma);
    // Where the gamma marker sits between black point b and white point w:
    // trunc(log10(10 gamma) * (w - b) / 2 + b), so 1.00 is halfway.
    static int gammaMarker(double gamma, int black, int white);
    // The gamma a marker at position p means: 0.1 * 100^t, t running from 0
    // at the black point to 1 at the white point (the same direction as
    // gammaMarker).
    static double gammaAt(int position, int black, int white);

private:
    std::array<LevelSet, 4> sets_{};
    std::array<Histogram, 4> histograms_{};
};

// What a colour batch keeps for each file.
struct ColourRecord {
    enum Mode : int32_t { Levels = -1, AutoColour = 0, AutoContrast = 1, Grey = 2 };
    std::array<double, 4> gamma{1.0, 1.0, 1.0, 1.0};
    std::array<int32_t, 4> black{0, 0, 0, 0};
    std::array<int32_t, 4> white{255, 255, 255, 255};
    std::array<int32_t, 4> outBlack{0, 0, 0, 0};
    std::array<int32_t, 4> outWhite{255, 255, 255, 255};
    int32_t mode = Levels;

    void storeLevels(const LevelsAdjuster& levels);
    void loadLevels(LevelsAdjuster& levels) const;
};

} // namespace kamelo::edit
