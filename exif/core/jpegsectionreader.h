#pragma once

#include "exifimageinfo.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kamelo {

// Walks the marker segments of a JPEG file up to its scan data, keeping them
// (at most 20), and fills an ExifImageInfo from the frame header, the first
// comment and the EXIF block. It reads untrusted files: every length is
// checked against what is really there, and no directory is walked twice.
class JpegSectionReader {
public:
    static constexpr int kMaxSections = 20;
    static constexpr int kScanDataType = 291;

    struct Section {
        std::vector<uint8_t> data; // starts with the segment's two length bytes
        int type = 0;              // the marker
    };

    // Fills info (the caller's) or a record of its own.
    explicit JpegSectionReader(ExifImageInfo* info = nullptr);

    // The caller opened the file with "rb" and closes it afterwards. The
    // scan data after the sections is kept as a last section, unless only
    // the sections are asked for.
    bool readSections(std::FILE* file, bool withScanData = true);
    const std::string& errorText() const { return error_; }
    const ExifImageInfo& info() const { return *info_; }
    const std::vector<Section>& sections() const { return sections_; }
    // The kept EXIF section, or nullptr.
    const Section* exifSection() const;
    // The embedded thumbnail's bytes, or nullptr (size 0).
    const uint8_t* thumbnail(uint32_t& size) const;

    // Parses an EXIF block (the segment after its two length bytes; length
    // is the segment length including them).
    bool processExif(const uint8_t* data, size_t length);

private:
    struct Walk {
        const uint8_t* base;
        size_t length;
    };
    bool processDirectory(const Walk& walk, size_t start, int depth, bool thumbnailDirectory);
    void processComment(const uint8_t* data, size_t length);
    uint16_t get16(const uint8_t* p) const;
    uint32_t get32(const uint8_t* p) const;
    double convert(const uint8_t* value, int format) const;

    std::unique_ptr<ExifImageInfo> owned_;
    ExifImageInfo* info_;
    std::vector<Section> sections_;
    std::string error_;
    bool motorola_ = false;
    uint32_t exifImageWidth_ = 0;
    // The thumbnail's place as the directories give it.
    uint32_t thumbOffset_ = 0;
    uint32_t thumbSize_ = 0;
    size_t exifSectionStart_ = 0; // offset of the TIFF header inside the section
    std::set<size_t> walked_;
    bool sawComment_ = false;
};

} // namespace kamelo
