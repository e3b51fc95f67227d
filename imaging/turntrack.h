#pragma once

#include "bitmap.h"
#include "planeturn.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kamelo::imaging {

// Which pictures of an editing session are nothing but their file's pixels
// turned or mirrored, and how: the pictures are known by a hash of their
// pixels, so an undo back to a known picture is known again, and any other
// edit (levels, crop, ...) makes a picture no turn explains. Such a picture
// can be written from the file itself, turned on its compressed data.
class TurnTrack {
public:
    // A new picture was loaded: nothing is known.
    void reset() { known_.clear(); }
    // picture is its file's pixels turned by fromFile (by the EXIF
    // orientation as it was loaded, for instance).
    void note(const Bitmap& picture, PlaneTurn fromFile);
    // How the file's pixels turn into picture; nullopt when they do not.
    std::optional<PlaneTurn> turnOf(const Bitmap& picture) const;

    static uint64_t hash(const Bitmap& picture);

private:
    static constexpr size_t kKept = 16;
    std::vector<std::pair<uint64_t, PlaneTurn>> known_; // newest last
};

} // namespace kamelo::imaging
