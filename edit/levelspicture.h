#pragma once

#include "edit/core/levelsadjuster.h"
#include "imaging/bitmap.h"

namespace kamelo::edit {

// The levels tool's picture work: a base copy every preview starts from,
// the target picture that shows the result (the viewer's picture, or the
// batch worker's loaded file), and the levels with the base's histograms.
class LevelsPicture {
public:
    // Copies the target as the base and counts its histograms.
    int attach(imaging::Bitmap* target);
    bool attached() const { return target_ != nullptr; }
    LevelsAdjuster& levels() { return levels_; }
    const LevelsAdjuster& levels() const { return levels_; }

    // The levels from the base into the target.
    int apply();
    // A live step while a marker is dragged: the levels, through the same
    // tables, into a copy of the base no larger than fitWidth x fitHeight
    // (the size the picture is shown at). The target is brought up to date
    // by finish(). Returns the small result, or null when the picture is
    // no larger than that and the target itself took the levels.
    const imaging::Bitmap* applyPreview(int fitWidth, int fitHeight);
    // Whether the target still lacks levels only a preview showed.
    bool previewPending() const { return pending_; }
    // The target with the levels, if a preview left it behind.
    int finish();
    int autoColour();
    int autoContrast();
    // Grey of the target: red, green and blue weights 333, 333, 334.
    int grey();
    // The target as the base was ("원래이미지로"); the levels go back to
    // their defaults.
    int restore();
    // The target as the new base ("적 용"): histograms again, default levels.
    int takeAsBase();

    // A batch file: the record's mode or levels applied to the picture in place.
    static int runRecord(imaging::Bitmap& picture, const ColourRecord& record);

private:
    void baseChanged();

    imaging::Bitmap base_;
    imaging::Bitmap smallBase_; // the base at the preview's size, made once
    imaging::Bitmap preview_;
    imaging::Bitmap* target_ = nullptr;
    bool pending_ = false;
    LevelsAdjuster levels_;
};

} // namespace kamelo::edit
