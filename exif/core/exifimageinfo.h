#pragma once

#include <cstdint>
#include <string>

namespace kamelo {

// Camera information read from a JPEG's frame header, first comment and
// EXIF block. Texts are cut to the lengths the fields have always had.
struct ExifImageInfo {
    static constexpr size_t kVersionLength = 4;
    static constexpr size_t kMakeLength = 31;
    static constexpr size_t kModelLength = 39;
    static constexpr size_t kDateLength = 19;
    static constexpr size_t kCommentLength = 999;
    static constexpr size_t kUserCommentLength = 199;

    std::string exifVersion;
    std::string cameraMake;
    std::string cameraModel;
    std::string dateTime;
    int32_t height = 0;
    int32_t width = 0;
    int32_t orientation = 0;
    int32_t isColor = 0;
    int32_t process = 0;
    int32_t flashUsed = 0;
    float focalLength = 0;
    float exposureTime = 0;
    float apertureFNumber = 0;
    float distance = 0;
    float ccdWidth = 0;
    float exposureBias = 0;
    int32_t whiteBalance = 0; // light source
    int32_t meteringMode = 0;
    int32_t exposureProgram = 0;
    int32_t isoEquivalent = 0;
    int32_t compressionLevel = 0;
    float focalPlaneXRes = 0;
    float focalPlaneYRes = 0;
    float focalPlaneUnits = 0; // factor to inches
    float xResolution = 0;
    float yResolution = 0;
    float resolutionUnit = 0; // factor to inches
    float brightness = 0;
    std::string comments;
    // The embedded thumbnail: its offset inside the kept EXIF section (from
    // the section's first byte) and its size; 0 when there is none.
    uint32_t thumbnailOffset = 0;
    uint32_t thumbnailSize = 0;
    bool hasExif = false;
};

} // namespace kamelo
