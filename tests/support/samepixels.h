#pragma once

#include "imaging/bitmap.h"

namespace kamelo::test {

using imaging::samePixels;

} // namespace kamelo::test
