#include "sharpnessrules.h"

#include <algorithm>
#include <array>

namespace kamelo::edit {

namespace {
constexpr std::array<int, SharpnessRules::kSliderMax + 1> kStrength{0,   200, 400, 600, 800, 830,
                                                                    860, 890, 920, 940, 970};
} // namespace

int SharpnessRules::sharpenStrength(int position) {
    return kStrength[std::clamp(position, 0, kSliderMax)];
}

int SharpnessRules::clampAmount(long long v) {
    return int(std::clamp<long long>(v, 0, kAmountMax));
}

int SharpnessRules::clampRadius(long long v) {
    return int(std::clamp<long long>(v, 0, kRadiusMax));
}

int SharpnessRules::clampThreshold(long long v) {
    return int(std::clamp<long long>(v, 0, kThresholdMax));
}

long long SharpnessRules::parseDigits(const std::string& text) {
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        v = v * 10 + (c - '0');
        if (v > 1'000'000'000)
            return 1'000'000'000;
    }
    return v;
}

} // namespace kamelo::edit
