#pragma once

// The table of the colour profile reader tests: every sample, how it is
// made, and the colour space each way of reading it must find.

#include "imaging/colour/iccprofile.h"
#include "imaging/pictureformat.h"
#include "tests/colour/profilesamples.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kamelo::test::profiles {

using Origin = imaging::colour::IccProfile::Origin;

struct Want {
    enum class Kind { Srgb, Exact, Like } kind = Kind::Srgb;
    Bytes (*profile)() = nullptr; // Exact: these bytes; Like: converts as this does
    bool anyOrigin = false;
    Origin origin = Origin::Embedded;
};

struct Row {
    const char* name;
    std::function<std::string(Lab&)> make; // the sample's path
    Want want;
    int page = 0;
    bool decodes = true;
    // Only the scanner reads it: the format's detection does not know it.
    imaging::PictureFormat scanAs = imaging::PictureFormat::Unknown;
    bool stamp = false; // its EXIF thumbnail is read too
};

std::vector<Row> rows();

void PrintTo(const Row& row, std::ostream* os);

} // namespace kamelo::test::profiles
