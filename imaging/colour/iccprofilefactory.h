#pragma once

#include "iccprofile.h"

#include <cstdint>
#include <vector>

namespace kamelo::imaging::colour {

// Makes IccProfile objects, for the files that build them.
struct IccProfileFactory {
    // Opens and checks bytes; knownSrgb skips the comparison with sRGB for
    // sRGB itself. Never throws.
    static ProfilePtr make(std::vector<uint8_t> bytes, IccProfile::Origin origin,
                           bool knownSrgb = false) noexcept;
    // Names, saves and closes a profile lcms2 built (a cmsHPROFILE), then
    // opens its bytes as above.
    static ProfilePtr build(void* profile, const char* name, IccProfile::Origin origin,
                            bool knownSrgb = false) noexcept;
};

} // namespace kamelo::imaging::colour
