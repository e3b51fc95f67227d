#pragma once

#include "fuzzentries.h"

namespace kamelo::fuzz {

// The folder cache's readers: the item list (".lis") and the thumbnail
// images (".cac"). Both read files any program could have left in the cache
// folder.
int lis(const uint8_t* data, size_t size);
int cac(const uint8_t* data, size_t size);

inline constexpr Entry kCacheEntries[] = {{"lis", lis}, {"cac", cac}};

} // namespace kamelo::fuzz
