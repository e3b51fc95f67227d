#pragma once

#include <string>

namespace kamelo::edit {

// The sharpness tool's values and their limits.
class SharpnessRules {
public:
    static constexpr int kSliderMax = 10;
    static constexpr int kBlurMax = 100;
    static constexpr int kAmountMax = 1000;
    static constexpr int kRadiusMax = 100;
    static constexpr int kThresholdMax = 255;
    // The sharpen strength of slider position 0..10.
    static int sharpenStrength(int position);
    // Unsharp values typed as digits, held to what the filter takes.
    static int clampAmount(long long v);
    static int clampRadius(long long v);
    static int clampThreshold(long long v);
    // Digits only; empty or not a number reads as 0, too many digits as the
    // largest value.
    static long long parseDigits(const std::string& text);
};

} // namespace kamelo::edit
