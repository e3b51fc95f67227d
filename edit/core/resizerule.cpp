#include "resizerule.h"

#include "base/settingsstore.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kamelo::edit {

namespace {
constexpr const char* kGeneral = "General";

int truncated(double v) {
    if (!(v > -1.0)) // negative, or not a number
        return v != v ? 0 : static_cast<int>(std::max(v, double(INT_MIN)));
    if (v >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(std::trunc(v));
}
} // namespace

ResizeSettings ResizeSettings::read(const SettingsStore& store) {
    ResizeSettings s;
    s.mode = store.getInt(kGeneral, "Radio Selected", s.mode);
    s.percent = store.getInt(kGeneral, "Percent", s.percent);
    s.width = store.getInt(kGeneral, "Resize_CX", s.width);
    s.height = store.getInt(kGeneral, "Resize_CY", s.height);
    s.keepRatio = store.getInt(kGeneral, "Fix Ratio", s.keepRatio);
    s.fitSide = store.getInt(kGeneral, "Fit Within", s.fitSide);
    s.interpolation = store.getInt(kGeneral, "Interpolation", s.interpolation);
    s.saveMode = store.getInt(kGeneral, "resize save mode", s.saveMode);
    return s;
}

bool ResizeSettings::write(SettingsStore& store, bool withSaveMode) const {
    bool ok = store.setInt(kGeneral, "Radio Selected", mode);
    ok = store.setInt(kGeneral, "Percent", percent) && ok;
    ok = store.setInt(kGeneral, "Resize_CX", width) && ok;
    ok = store.setInt(kGeneral, "Resize_CY", height) && ok;
    ok = store.setInt(kGeneral, "Fix Ratio", keepRatio) && ok;
    ok = store.setInt(kGeneral, "Fit Within", fitSide) && ok;
    ok = store.setInt(kGeneral, "Interpolation", interpolation) && ok;
    if (withSaveMode)
        ok = store.setInt(kGeneral, "resize save mode", saveMode) && ok;
    return ok;
}

int ResizeRule::flagForIndex(int index) {
    switch (index) {
    case 0:
        return 4;
    case 1:
        return 2;
    case 2:
        return 0;
    default:
        return -1;
    }
}

PixelSize ResizeRule::targetSize(const ResizeSettings& s, int width, int height) {
    const double w = width, h = height;
    if (s.mode != ResizeSettings::BySize) {
        const double f = s.percent * 0.01;
        return {truncated(w * f), truncated(h * f)};
    }
    if (!s.keepRatio)
        return {s.width, s.height};
    if (s.fitSide == ResizeSettings::FitHeight)
        return {h > 0 ? truncated(w * (double(s.height) / h)) : 0, s.height};
    return {s.width, w > 0 ? truncated(h * (double(s.width) / w)) : 0};
}

ResizeRule::Enabling ResizeRule::enabling(const ResizeSettings& s) {
    Enabling e;
    e.folder = s.saveMode == ResizeSettings::SaveToFolder;
    if (s.mode != ResizeSettings::BySize) {
        e.percent = true;
        return e;
    }
    e.keepRatio = true;
    if (s.keepRatio) {
        e.fitSide = true;
        e.width = s.fitSide != ResizeSettings::FitHeight;
        e.height = s.fitSide == ResizeSettings::FitHeight;
    } else {
        e.width = e.height = true;
    }
    return e;
}

} // namespace kamelo::edit
