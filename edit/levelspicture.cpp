#include "levelspicture.h"

#include "imaging/colorops.h"
#include "imaging/resize.h"
#include "imaging/result.h"

#include <algorithm>
#include <cmath>

namespace kamelo::edit {

namespace {
int applyLevels(const LevelsAdjuster& levels, const imaging::Bitmap& source,
                imaging::Bitmap& target) {
    return imaging::ColorOps::mapTables(source, target, levels.table(LevelsAdjuster::kRed),
                                        levels.table(LevelsAdjuster::kGreen),
                                        levels.table(LevelsAdjuster::kBlue));
}
} // namespace

void LevelsPicture::baseChanged() {
    smallBase_ = imaging::Bitmap();
    preview_ = imaging::Bitmap();
    pending_ = false;
}

int LevelsPicture::attach(imaging::Bitmap* target) {
    baseChanged();
    target_ = target;
    levels_.reset();
    if (!target || !target->isAllocated()) {
        target_ = nullptr;
        return imaging::result::kNoBitmap;
    }
    base_ = *target;
    levels_.setHistograms(imaging::ColorOps::histograms(base_));
    return imaging::result::kSuccess;
}

int LevelsPicture::apply() {
    if (!target_)
        return imaging::result::kNoBitmap;
    pending_ = false;
    return applyLevels(levels_, base_, *target_);
}

const imaging::Bitmap* LevelsPicture::applyPreview(int fitWidth, int fitHeight) {
    if (!target_)
        return nullptr;
    const int w = base_.width(), h = base_.height();
    const double scale =
        std::min({1.0, double(std::max(1, fitWidth)) / w, double(std::max(1, fitHeight)) / h});
    const int pw = std::max(1, int(std::lround(w * scale)));
    const int ph = std::max(1, int(std::lround(h * scale)));
    if (pw >= w && ph >= h) {
        apply();
        return nullptr;
    }
    if (smallBase_.width() != pw || smallBase_.height() != ph) {
        // Averaged, so the shrunken copy looks like the picture painted at
        // that size; made on the first step of a drag and kept.
        if (imaging::Resize::scaled(base_, pw, ph, imaging::Resize::kResample, smallBase_) < 1) {
            apply();
            return nullptr;
        }
    }
    if (applyLevels(levels_, smallBase_, preview_) < 1) {
        apply();
        return nullptr;
    }
    pending_ = true;
    return &preview_;
}

int LevelsPicture::finish() {
    return pending_ ? apply() : imaging::result::kSuccess;
}

int LevelsPicture::autoColour() {
    levels_.autoColour();
    return apply();
}

int LevelsPicture::autoContrast() {
    levels_.autoContrast();
    return apply();
}

int LevelsPicture::grey() {
    if (!target_)
        return imaging::result::kNoBitmap;
    finish();
    return imaging::ColorOps::grayScale(*target_, 333, 333, 334);
}

int LevelsPicture::restore() {
    if (!target_)
        return imaging::result::kNoBitmap;
    *target_ = base_;
    pending_ = false;
    levels_.reset();
    levels_.setHistograms(imaging::ColorOps::histograms(base_));
    return imaging::result::kSuccess;
}

int LevelsPicture::takeAsBase() {
    if (!target_)
        return imaging::result::kNoBitmap;
    finish();
    base_ = *target_;
    baseChanged();
    levels_.reset();
    levels_.setHistograms(imaging::ColorOps::histograms(base_));
    return imaging::result::kSuccess;
}

int LevelsPicture::runRecord(imaging::Bitmap& picture, const ColourRecord& record) {
    if (!picture.isAllocated())
        return imaging::result::kNoBitmap;
    if (record.mode == ColourRecord::Grey)
        return imaging::ColorOps::grayScale(picture, 333, 333, 334);
    LevelsAdjuster levels;
    if (record.mode == ColourRecord::AutoColour || record.mode == ColourRecord::AutoContrast) {
        levels.setHistograms(imaging::ColorOps::histograms(picture));
        if (record.mode == ColourRecord::AutoColour)
            levels.autoColour();
        else
            levels.autoContrast();
    } else {
        record.loadLevels(levels);
    }
    // Untouched levels leave the pixels as they are.
    if (levels.isIdentity())
        return imaging::result::kSuccess;
    return applyLevels(levels, picture, picture);
}

} // namespace kamelo::edit
