#pragma once

#include "thumbdata.h"

#include <vector>

namespace kamelo {

// Whether a cached item list still describes a folder: every current record
// has a cached one with the same full path (exact bytes) and modification
// time, and every cached record but the parent entry has a current one.
// Only pairs are checked; counts and order are not compared.
bool cacheStillValid(const std::vector<CThumbData>& cached, const std::vector<CThumbData>& current);

} // namespace kamelo
