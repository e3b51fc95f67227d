#pragma once

#include <cstdint>
#include <string>

namespace kamelo {

// The picture rectangle inside a thumbnail cell.
struct CellRect {
    int32_t left = INT32_MIN;
    int32_t top = INT32_MIN;
    int32_t right = INT32_MAX;
    int32_t bottom = INT32_MAX;
    bool operator==(const CellRect&) const = default;
};

// One item of the thumbnail list: the parent entry, a sub-folder or a file.
// The fields are the ones the folder cache stores, in its order.
struct CThumbData {
    static constexpr const char* kParentName = "..";

    std::string displayName;
    std::string fullPath;     // ".." for the parent entry
    int32_t imageIndex = 0;   // in the list's thumbnail images
    uint32_t fileSize = 0;    // low 32 bits; filled in details view
    std::string typeName;     // "JPEG", "TIFF", else the extension upper-cased
    std::string pictureInfo;  // kept for the cache; no view shows it
    int32_t modifiedTime = 0; // seconds since 1970 UTC; filled in details view
    int32_t thumbnailDone = 0;
    CellRect pictureRect;
    int32_t dateTakenKnown = 0;
    int32_t dateTaken = 0; // seconds since 1970 UTC
    int32_t itemKind = 0;  // 1 folder or parent entry, 0 file

    bool isParent() const { return displayName == kParentName; }
    bool isFolder() const { return itemKind == 1; }
    bool operator==(const CThumbData&) const = default;
};

} // namespace kamelo
