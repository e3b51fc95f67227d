#pragma once

#include "imaging/colour/colourtransform.h"

namespace kamelo::thumbcolour {

// How thumbnail cells get their colours. The cache keeps cells of one rule
// only (see CacheIndex::keepOnlyColourRule), so a folder load settles it once.
inline constexpr int kAsSet = -1;     // whatever the colour setting is when settled
inline constexpr int kOwnValues = 0;  // the pictures' values as stored
inline constexpr int kPerceptual = 1; // converted to sRGB, 1 + the rendering intent
inline constexpr int kRelative = 2;

// The rule the colour setting asks for now.
int current();
// rule itself, or current() for kAsSet.
int settled(int rule);
// The conversion of a picture in profile (null: sRGB) to the cache's sRGB
// under rule; null when the rule keeps the values or nothing needs doing.
imaging::colour::TransformPtr toSrgb(int rule, const imaging::colour::ProfilePtr& profile);

} // namespace kamelo::thumbcolour
