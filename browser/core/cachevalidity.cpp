#include "cachevalidity.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace kamelo {

bool cacheStillValid(const std::vector<CThumbData>& cached,
                     const std::vector<CThumbData>& current) {
    // Hashed, not ordered: a folder of a hundred thousand items is checked
    // on every visit before its list is shown.
    struct KeyHash {
        size_t operator()(const std::pair<std::string_view, int32_t>& k) const {
            return std::hash<std::string_view>()(k.first) ^
                   (size_t(uint32_t(k.second)) * 0x9E3779B1u);
        }
    };
    using Keys = std::unordered_set<std::pair<std::string_view, int32_t>, KeyHash>;
    Keys cachedKeys, currentKeys;
    cachedKeys.reserve(cached.size());
    currentKeys.reserve(current.size());
    for (const CThumbData& d : cached)
        cachedKeys.emplace(d.fullPath, d.modifiedTime);
    for (const CThumbData& d : current)
        currentKeys.emplace(d.fullPath, d.modifiedTime);
    for (const auto& k : currentKeys)
        if (!cachedKeys.count(k))
            return false;
    for (const CThumbData& d : cached)
        if (!d.isParent() && !currentKeys.count({d.fullPath, d.modifiedTime}))
            return false;
    return true;
}

} // namespace kamelo
