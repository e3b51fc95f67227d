#include "prefsrules.h"

namespace kamelo::prefs {

int PrefsRules::clampField(const std::string& text, int min, int max, int fallback) {
    long long value = 0;
    bool digits = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            continue;
        digits = true;
        if (value < 1000000)
            value = value * 10 + (c - '0');
    }
    if (!digits)
        return fallback < min ? min : fallback > max ? max : fallback;
    if (value < min)
        return min;
    if (value > max)
        return max;
    return int(value);
}

uint32_t PrefsRules::colorRef(int red, int green, int blue) {
    return uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16;
}

} // namespace kamelo::prefs
