#pragma once

#include "colourtransform.h"

#include <cstdint>
#include <vector>

namespace kamelo::imaging::colour {

// The program-wide colour management state: whether it is on, the rendering
// intent and each screen's profile. The frames keep it in step with the
// settings and the display; everything that shows, thumbnails, prints or
// writes a picture for others asks it for its transform. Thread-safe: read
// by workers, changed on the UI thread.
class DisplayColour {
public:
    // Off: pictures are shown with their values as they are.
    static void setEnabled(bool on);
    static bool enabled();
    static void setIntent(Intent intent);
    static Intent intent();
    // The profile of screen n (0 the first); empty bytes or a profile lcms2
    // refuses mean sRGB. Returns whether anything changed.
    static bool setScreenProfile(int screen, const std::vector<uint8_t>& icc);
    static ProfilePtr screenProfile(int screen);
    // Bumped at every change, so views can tell their converted copies are
    // stale.
    static uint64_t generation();

    // The transform from a picture's profile (null: sRGB) to screen n's;
    // null when off or nothing needs converting.
    static TransformPtr toScreen(const ProfilePtr& picture, int screen = 0);
    // From sRGB (thumbnails in the cache) to screen n's; null when off or
    // the screen is sRGB.
    static TransformPtr srgbToScreen(int screen = 0);
    // From a picture's profile to sRGB, for what leaves the program without
    // a profile (thumbnail cache, wallpaper, prints); null when off or the
    // picture is sRGB already.
    static TransformPtr toSrgb(const ProfilePtr& picture);

    // Back to the start-up state: on, perceptual, every screen sRGB (tests).
    static void reset();
};

} // namespace kamelo::imaging::colour
