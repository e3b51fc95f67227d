#include "cachevalidity.h"

#include <set>
#include <string>
#include <utility>

namespace kamelo {

bool cacheStillValid(const std::vector<CThumbData>& cached,
                     const std::vector<CThumbData>& current) {
    using Key = std::pair<std::string, int32_t>;
    std::set<Key> cachedKeys, currentKeys;
    for (const CThumbData& d : cached)
        cachedKeys.emplace(d.fullPath, d.modifiedTime);
    for (const CThumbData& d : current)
        currentKeys.emplace(d.fullPath, d.modifiedTime);
    for (const Key& k : currentKeys)
        if (!cachedKeys.count(k))
            return false;
    for (const CThumbData& d : cached)
        if (!d.isParent() && !currentKeys.count({d.fullPath, d.modifiedTime}))
            return false;
    return true;
}

} // namespace kamelo
