#pragma once

#include <mutex>

namespace kamelo::imaging::colour {

// Held while lcms2 builds a transform or reads a profile shared between
// threads: building reads tags lazily, and profiles are shared by every
// picture and cache. Running a built transform needs no lock.
std::mutex& lcmsLock();

} // namespace kamelo::imaging::colour
