#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kamelo {

// The thumbnail images of one folder, all of one size, 24-bit blue-green-red,
// top-down rows without padding (width * 3 bytes each).
struct ThumbImageList {
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> images;

    size_t imageBytes() const { return size_t(width) * 3 * size_t(height); }
};

// The folder cache's image file (".cac") in the image-list stream layout: an
// "IL" header (version, count, capacity, grow, width, height, background,
// flags, overlays) followed by one uncompressed 24-bit BMP in which the
// images lie four to a row, bottom-up as BMPs are.
class ThumbImageListFile {
public:
    // Where the images of a stream lie, found without copying them.
    struct Layout {
        int width = 0;
        int height = 0;
        int count = 0;
        int bmpHeight = 0;
        size_t stride = 0;
        size_t pixelsAt = 0; // offset of the BMP's pixel rows in the stream
    };
    // False when the bytes are not a sound stream.
    static bool parse(const uint8_t* data, size_t size, Layout& layout);
    // The same from the stream's first bytes (kHeaderBytes are enough) and
    // the size of the whole stream.
    static bool parseHeader(const uint8_t* head, size_t headSize, size_t streamSize,
                            Layout& layout);
    static constexpr size_t kHeaderBytes = 28 + 14 + 40;
    // Row y (top-down, width * 3 bytes) of image index of a parsed stream.
    static const uint8_t* row(const uint8_t* data, const Layout& layout, int index, int y);

    // Writes count images of width x height; fillRow writes row y of an image
    // (blue-green-red, width * 3 bytes) straight into the stream.
    using RowFiller = std::function<void(int index, int y, uint8_t* bgr)>;
    static std::vector<uint8_t> write(int width, int height, int count, const RowFiller& fillRow);
    static bool writeFile(const std::string& path, int width, int height, int count,
                          const RowFiller& fillRow);
    // The same stream made a whole image at a time: fillCell writes image
    // index (blue-green-red, top-down rows of width * 3 bytes without
    // padding) and returns false to give up the write. Images are asked for
    // in file order (the last band of four first) and the stream goes out in
    // large sequential pieces, so a list of gigabytes writes at disk speed
    // from a few megabytes of memory. On false the file is left as it was.
    using CellFiller = std::function<bool(int index, uint8_t* bgr)>;
    static bool writeFileByCells(const std::string& path, int width, int height, int count,
                                 const CellFiller& fillCell);
    // The most images one stream can hold (its count is 16 bits).
    static constexpr int kMaxCount = 0xFFFF;

    // Empty when the list cannot be written this way (more than 65535
    // images or a size beyond 16 bits).
    static std::vector<uint8_t> write(const ThumbImageList& list);
    // False (and the list emptied) when the bytes are not such a stream.
    static bool read(const uint8_t* data, size_t size, ThumbImageList& list);

    static bool writeFile(const std::string& path, const ThumbImageList& list);
    static bool readFile(const std::string& path, ThumbImageList& list);
};

// Reads the images of a ".cac" file on demand, four (one BMP band) at a
// time, from a descriptor held open: a cached folder shows without reading
// the thumbnails nobody looks at, and a file replaced meanwhile is still the
// one that was checked.
class ThumbImageListReader {
public:
    explicit ThumbImageListReader(const std::string& path);
    ~ThumbImageListReader();
    ThumbImageListReader(const ThumbImageListReader&) = delete;
    ThumbImageListReader& operator=(const ThumbImageListReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    const ThumbImageListFile::Layout& layout() const { return layout_; }
    // The rows of the band holding image index; false when they cannot be
    // read (the file was cut short since).
    bool readBand(int index, std::vector<uint8_t>& band) const;
    // Row y of image index inside its band, as read by readBand.
    const uint8_t* bandRow(const std::vector<uint8_t>& band, int index, int y) const;

private:
    int fd_ = -1;
    ThumbImageListFile::Layout layout_;
};

} // namespace kamelo
