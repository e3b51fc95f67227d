#include "thumbcolour.h"

#include "imaging/colour/displaycolour.h"

namespace kamelo::thumbcolour {

using imaging::colour::DisplayColour;

int current() {
    return DisplayColour::enabled() ? 1 + int(DisplayColour::intent()) : kOwnValues;
}

int settled(int rule) {
    return rule == kAsSet ? current() : rule;
}

imaging::colour::TransformPtr toSrgb(int rule, const imaging::colour::ProfilePtr& profile) {
    rule = settled(rule);
    if (rule != kPerceptual && rule != kRelative)
        return nullptr;
    if (!profile || profile->isSrgb())
        return nullptr; // the usual picture: no transform, no copy
    return imaging::colour::ColourTransform::between(
        profile, imaging::colour::IccProfile::srgb(),
        rule == kRelative ? imaging::colour::Intent::RelativeColorimetric
                          : imaging::colour::Intent::Perceptual);
}

} // namespace kamelo::thumbcolour
