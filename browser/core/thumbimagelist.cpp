#include "thumbimagelist.h"

#include "bytewriter.h"
#include "closeaside.h"
#include "imaging/core/filebytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

using Sink = std::function<bool(const uint8_t*, size_t)>;

// The shape of a stream of count images of width x height.
struct Shape {
    size_t count = 0;
    int bands = 0; // rows of four images
    int bmpHeight = 0;
    size_t stride = 0;
    size_t pixelBytes = 0;
};

bool shapeOf(int width, int height, int countIn, Shape& s) {
    if (countIn < 0 || countIn > ThumbImageListFile::kMaxCount || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide)
        return false;
    s.count = size_t(countIn);
    s.bands = s.count == 0 ? 1 : int((s.count + kPerRow - 1) / kPerRow);
    s.bmpHeight = height * s.bands;
    s.stride = strideOf(width * kPerRow);
    s.pixelBytes = s.stride * size_t(s.bmpHeight);
    return true;
}

// The "IL" header and the BMP's headers, up to its pixel rows.
std::vector<uint8_t> headerOf(int width, int height, const Shape& s) {
    ByteWriter w;
    w.u16(kMagic);
    w.u16(kVersion);
    w.u16(static_cast<uint16_t>(s.count));
    w.u16(static_cast<uint16_t>(s.count)); // capacity: exactly what is there
    w.u16(kGrow);
    w.u16(static_cast<uint16_t>(width));
    w.u16(static_cast<uint16_t>(height));
    w.u32(kNoBackground);
    w.u16(kColour24);
    for (int i = 0; i < 4; ++i)
        w.u16(0xFFFF); // no overlay images
    // BITMAPFILEHEADER and BITMAPINFOHEADER.
    w.u8('B');
    w.u8('M');
    w.u32(static_cast<uint32_t>(14 + 40 + s.pixelBytes));
    w.u32(0);
    w.u32(14 + 40);
    w.u32(40);
    w.i32(width * kPerRow);
    w.i32(s.bmpHeight);
    w.u16(1);
    w.u16(24);
    w.u32(0);
    w.u32(static_cast<uint32_t>(s.pixelBytes));
    w.i32(0);
    w.i32(0);
    w.u32(0);
    w.u32(0);
    return std::move(w.bytes());
}

// Writes the stream in file order (the BMP's rows bottom-up), one BMP row at
// a time, so a big list never needs a second copy in memory.
bool writeStream(int width, int height, int countIn, const ThumbImageListFile::RowFiller& fillRow,
                 const Sink& sink) {
    Shape shape;
    if (!shapeOf(width, height, countIn, shape))
        return false;
    const std::vector<uint8_t> header = headerOf(width, height, shape);
    if (!sink(header.data(), header.size()))
        return false;
    const size_t count = shape.count;
    const int bmpHeight = shape.bmpHeight;
    const size_t stride = shape.stride;

    const size_t rowBytes = size_t(width) * 3;
    std::vector<uint8_t> line(stride);
    for (int bmpRow = 0; bmpRow < bmpHeight; ++bmpRow) {
        const int fromTop = bmpHeight - 1 - bmpRow;
        const int cellY = fromTop / height, y = fromTop % height;
        std::fill(line.begin(), line.end(), 0);
        for (int cellX = 0; cellX < kPerRow; ++cellX) {
            const size_t i = size_t(cellY) * kPerRow + size_t(cellX);
            if (i < count)
                fillRow(int(i), y, line.data() + size_t(cellX) * rowBytes);
        }
        if (!sink(line.data(), line.size()))
            return false;
    }
    return true;
}

} // namespace

std::vector<uint8_t> ThumbImageListFile::write(int width, int height, int count,
                                               const RowFiller& fillRow) {
    std::vector<uint8_t> out;
    const bool ok = writeStream(width, height, count, fillRow, [&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    });
    return ok ? out : std::vector<uint8_t>();
}

std::vector<uint8_t> ThumbImageListFile::write(const ThumbImageList& list) {
    for (const auto& image : list.images)
        if (image.size() != list.imageBytes())
            return {};
    const size_t rowBytes = size_t(list.width) * 3;
    return write(list.width, list.height, int(std::min<size_t>(list.images.size(), 0x10000)),
                 [&](int i, int y, uint8_t* bgr) {
                     std::memcpy(bgr, list.images[size_t(i)].data() + size_t(y) * rowBytes,
                                 rowBytes);
                 });
}

bool ThumbImageListFile::parse(const uint8_t* data, size_t size, Layout& layout) {
    return parseHeader(data, size, size, layout);
}

bool ThumbImageListFile::parseHeader(const uint8_t* data, size_t headSize, size_t size,
                                     Layout& layout) {
    layout = {};
    ByteReader r(data, std::min(headSize, size));
    if (r.u16() != kMagic)
        return false;
    r.u16(); // version
    const int count = r.u16();
    r.u16(); // capacity
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

    // The BMP that holds the images.
    const size_t bmpStart = r.position();
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
    const size_t pixelsAt = bmpStart + offBits;
    if (pixelsAt > size || (size - pixelsAt) / stride < size_t(bmpHeight))
        return false;
    layout = {width, height, count, bmpHeight, stride, pixelsAt};
    return true;
}

const uint8_t* ThumbImageListFile::row(const uint8_t* data, const Layout& layout, int index,
                                       int y) {
    const int cellX = index % kPerRow, cellY = index / kPerRow;
    const int bmpRow = layout.bmpHeight - 1 - (cellY * layout.height + y);
    return data + layout.pixelsAt + size_t(bmpRow) * layout.stride +
           size_t(cellX) * size_t(layout.width) * 3;
}

bool ThumbImageListFile::read(const uint8_t* data, size_t size, ThumbImageList& list) {
    list = {};
    Layout layout;
    if (!parse(data, size, layout))
        return false;
    list.width = layout.width;
    list.height = layout.height;
    list.images.resize(size_t(layout.count));
    const size_t rowBytes = size_t(layout.width) * 3;
    for (int i = 0; i < layout.count; ++i) {
        std::vector<uint8_t>& image = list.images[size_t(i)];
        image.resize(list.imageBytes());
        for (int y = 0; y < layout.height; ++y)
            std::memcpy(image.data() + size_t(y) * rowBytes, row(data, layout, i, y), rowBytes);
    }
    return true;
}

bool ThumbImageListFile::writeFile(const std::string& path, int width, int height, int count,
                                   const RowFiller& fillRow) {
    imaging::AtomicFile file(path);
    return writeStream(width, height, count, fillRow,
                       [&](const uint8_t* p, size_t n) { return file.write(p, n); }) &&
           file.commit() >= 1;
}

bool ThumbImageListFile::writeFileByCells(const std::string& path, int width, int height, int count,
                                          const CellFiller& fillCell) {
    Shape shape;
    if (!shapeOf(width, height, count, shape))
        return false;
    imaging::AtomicFile file(path);
    std::vector<uint8_t> out = headerOf(width, height, shape);
    // Whole bands gathered into pieces of about this size before they go out.
    constexpr size_t kPiece = size_t(8) << 20;
    const size_t bandBytes = shape.stride * size_t(height);
    const size_t rowBytes = size_t(width) * 3;
    out.reserve(std::max(kPiece, out.size() + bandBytes) + bandBytes);
    std::vector<uint8_t> cell(rowBytes * size_t(height));
    for (int band = shape.bands - 1; band >= 0; --band) {
        const size_t at = out.size();
        out.resize(at + bandBytes, 0); // padding and missing images stay black
        uint8_t* rows = out.data() + at;
        for (int cellX = 0; cellX < kPerRow; ++cellX) {
            const size_t i = size_t(band) * kPerRow + size_t(cellX);
            if (i >= shape.count)
                break;
            if (!fillCell(int(i), cell.data()))
                return false;
            // The band's first row in the file is the images' last.
            for (int y = 0; y < height; ++y)
                std::memcpy(rows + size_t(height - 1 - y) * shape.stride + size_t(cellX) * rowBytes,
                            cell.data() + size_t(y) * rowBytes, rowBytes);
        }
        if (out.size() >= kPiece || band == 0) {
            if (!file.write(out.data(), out.size()))
                return false;
            out.clear();
        }
    }
    return file.commit() >= 1;
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

ThumbImageListReader::ThumbImageListReader(const std::string& path) {
    // A FIFO put in the cache folder's place must not stall the list.
    if (imaging::openRegularFile(path, fd_) < 1) {
        fd_ = -1;
        return;
    }
    struct stat st {};
    uint8_t head[ThumbImageListFile::kHeaderBytes];
    const bool ok = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) &&
                    ::pread(fd_, head, sizeof head, 0) == ssize_t(sizeof head) &&
                    ThumbImageListFile::parseHeader(head, sizeof head, size_t(st.st_size), layout_);
    if (!ok) {
        ::close(fd_);
        fd_ = -1;
    }
}

ThumbImageListReader::~ThumbImageListReader() {
    closeAside(fd_); // the last hold on a removed file of gigabytes
}

bool ThumbImageListReader::readBand(int index, std::vector<uint8_t>& band) const {
    if (fd_ < 0 || index < 0 || index >= layout_.count)
        return false;
    const int cellY = index / kPerRow;
    // Rows are stored bottom-up: the band's first row in the file is its last.
    const int firstFileRow = layout_.bmpHeight - (cellY + 1) * layout_.height;
    const size_t bytes = layout_.stride * size_t(layout_.height);
    band.resize(bytes);
    const off_t at = off_t(layout_.pixelsAt + size_t(firstFileRow) * layout_.stride);
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd_, band.data() + got, bytes - got, at + off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

const uint8_t* ThumbImageListReader::bandRow(const std::vector<uint8_t>& band, int index,
                                             int y) const {
    const int cellX = index % kPerRow;
    const size_t rowInBand = size_t(layout_.height - 1 - y);
    return band.data() + rowInBand * layout_.stride + size_t(cellX) * size_t(layout_.width) * 3;
}

} // namespace kamelo
