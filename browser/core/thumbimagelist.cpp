#include "thumbimagelist.h"

#include "bytewriter.h"
#include "imaging/core/filebytes.h"

#include <cstring>

namespace kamelo {

namespace {

constexpr uint16_t kMagic = 0x4C49; // "IL"
constexpr uint16_t kVersion = 0x0101;
constexpr uint16_t kGrow = 1;
constexpr uint32_t kNoBackground = 0xFFFFFFFF;
constexpr uint16_t kColour24 = 0x0018;
constexpr int kPerRow = 4;
constexpr int kMaxSide = 4096; // larger thumbnails are damage, not settings

size_t strideOf(int width) {
    return (size_t(width) * 3 + 3) & ~size_t(3);
}

} // namespace

std::vector<uint8_t> ThumbImageListFile::write(const ThumbImageList& list) {
    const size_t count = list.images.size();
    if (count > 0xFFFF || list.width <= 0 || list.height <= 0 || list.width > kMaxSide ||
        list.height > kMaxSide)
        return {};
    for (const auto& image : list.images)
        if (image.size() != list.imageBytes())
            return {};
    const int rows = count == 0 ? 1 : int((count + kPerRow - 1) / kPerRow);
    const int bmpWidth = list.width * kPerRow;
    const int bmpHeight = list.height * rows;
    const size_t stride = strideOf(bmpWidth);
    const size_t pixelBytes = stride * size_t(bmpHeight);

    ByteWriter w;
    w.u16(kMagic);
    w.u16(kVersion);
    w.u16(static_cast<uint16_t>(count));
    w.u16(static_cast<uint16_t>(count)); // capacity: exactly what is there
    w.u16(kGrow);
    w.u16(static_cast<uint16_t>(list.width));
    w.u16(static_cast<uint16_t>(list.height));
    w.u32(kNoBackground);
    w.u16(kColour24);
    for (int i = 0; i < 4; ++i)
        w.u16(0xFFFF); // no overlay images
    // BITMAPFILEHEADER and BITMAPINFOHEADER.
    w.u8('B');
    w.u8('M');
    w.u32(static_cast<uint32_t>(14 + 40 + pixelBytes));
    w.u32(0);
    w.u32(14 + 40);
    w.u32(40);
    w.i32(bmpWidth);
    w.i32(bmpHeight);
    w.u16(1);
    w.u16(24);
    w.u32(0);
    w.u32(static_cast<uint32_t>(pixelBytes));
    w.i32(0);
    w.i32(0);
    w.u32(0);
    w.u32(0);

    std::vector<uint8_t>& out = w.bytes();
    const size_t start = out.size();
    out.resize(start + pixelBytes, 0);
    const size_t rowBytes = size_t(list.width) * 3;
    for (size_t i = 0; i < count; ++i) {
        const int cellX = int(i % kPerRow), cellY = int(i / kPerRow);
        for (int y = 0; y < list.height; ++y) {
            const int bmpRow = bmpHeight - 1 - (cellY * list.height + y); // bottom-up
            std::memcpy(out.data() + start + size_t(bmpRow) * stride + cellX * rowBytes,
                        list.images[i].data() + size_t(y) * rowBytes, rowBytes);
        }
    }
    return std::move(out);
}

bool ThumbImageListFile::read(const uint8_t* data, size_t size, ThumbImageList& list) {
    list = {};
    ByteReader r(data, size);
    if (r.u16() != kMagic)
        return false;
    r.u16(); // version
    const int count = r.u16();
    const int capacity = r.u16();
    r.u16(); // grow
    const int width = r.u16();
    const int height = r.u16();
    r.u32(); // background
    const uint16_t flags = r.u16();
    for (int i = 0; i < 4; ++i)
        r.u16();
    if (!r.ok() || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        (flags & 0xFE) != kColour24 || (flags & 1) /* masks are never written */)
        return false;
    (void)capacity;

    // The BMP that holds the images.
    const uint8_t* magic = r.span(2);
    if (!magic || magic[0] != 'B' || magic[1] != 'M')
        return false;
    r.u32();
    r.u32();
    const uint32_t offBits = r.u32();
    const uint32_t headerSize = r.u32();
    const int32_t bmpWidth = r.i32();
    const int32_t bmpHeight = r.i32();
    const uint16_t planes = r.u16();
    const uint16_t bits = r.u16();
    const uint32_t compression = r.u32();
    if (!r.ok() || headerSize < 40 || planes != 1 || bits != 24 || compression != 0 ||
        bmpWidth != width * kPerRow || bmpHeight <= 0 || bmpHeight % height != 0 ||
        int64_t(bmpHeight / height) * kPerRow < count || offBits < 14 + headerSize)
        return false;
    const size_t stride = strideOf(bmpWidth);
    const size_t bmpStart = 28; // after the "IL" header
    const size_t pixelsAt = bmpStart + offBits;
    if (pixelsAt > size || (size - pixelsAt) / stride < size_t(bmpHeight))
        return false;
    const uint8_t* pixels = data + pixelsAt;

    list.width = width;
    list.height = height;
    list.images.resize(size_t(count));
    const size_t rowBytes = size_t(width) * 3;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t>& image = list.images[size_t(i)];
        image.resize(list.imageBytes());
        const int cellX = i % kPerRow, cellY = i / kPerRow;
        for (int y = 0; y < height; ++y) {
            const int bmpRow = bmpHeight - 1 - (cellY * height + y);
            std::memcpy(image.data() + size_t(y) * rowBytes,
                        pixels + size_t(bmpRow) * stride + cellX * rowBytes, rowBytes);
        }
    }
    return true;
}

bool ThumbImageListFile::writeFile(const std::string& path, const ThumbImageList& list) {
    const std::vector<uint8_t> bytes = write(list);
    return !bytes.empty() && imaging::writeFileAtomically(path, bytes.data(), bytes.size()) >= 1;
}

bool ThumbImageListFile::readFile(const std::string& path, ThumbImageList& list) {
    std::vector<uint8_t> bytes;
    if (imaging::readWholeFile(path, bytes) < 1) {
        list = {};
        return false;
    }
    return read(bytes.data(), bytes.size(), list);
}

} // namespace kamelo
