#include "levelspicture.h"

#include "imaging/colorops.h"
#include "imaging/result.h"

namespace kamelo::edit {

namespace {
int applyLevels(const LevelsAdjuster& levels, const imaging::Bitmap& source,
                imaging::Bitmap& target) {
    return imaging::ColorOps::mapTables(source, target, levels.table(LevelsAdjuster::kRed),
                                        levels.table(LevelsAdjuster::kGreen),
                                        levels.table(LevelsAdjuster::kBlue));
}
} // namespace

int LevelsPicture::attach(imaging::Bitmap* target) {
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
    return applyLevels(levels_, base_, *target_);
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
    return imaging::ColorOps::grayScale(*target_, 333, 333, 334);
}

int LevelsPicture::restore() {
    if (!target_)
        return imaging::result::kNoBitmap;
    *target_ = base_;
    levels_.reset();
    levels_.setHistograms(imaging::ColorOps::histograms(base_));
    return imaging::result::kSuccess;
}

int LevelsPicture::takeAsBase() {
    if (!target_)
        return imaging::result::kNoBitmap;
    base_ = *target_;
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
