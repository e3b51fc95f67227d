#include "webpcodec.h"

#include "imaging/core/filebytes.h"
#include "imaging/result.h"
#include "webpexif.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/types.h>

namespace kamelo::imaging::webpcodec {

namespace {

// An EXIF chunk's IFD0 sits near its start; a chunk larger than this is
// read only this far.
constexpr size_t kMostExifRead = size_t(1) << 20;

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The EXIF chunk's bytes (at most kMostExifRead), found by walking the
// RIFF chunks with a read of each header and never past the file's end.
bool readExifChunk(std::FILE* f, std::vector<uint8_t>& exif) {
    uint8_t head[12];
    if (std::fread(head, 1, sizeof head, f) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WEBP", 4) != 0)
        return false;
    if (fseeko(f, 0, SEEK_END) != 0)
        return false;
    const off_t fileEnd = ftello(f);
    const off_t end = std::min<off_t>(fileEnd, off_t(8) + off_t(le32(head + 4)));
    off_t pos = 12;
    // Every chunk takes eight bytes at least, so the walk ends with the file.
    while (pos + 8 <= end) {
        uint8_t chunk[8];
        if (fseeko(f, pos, SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8)
            return false;
        const off_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "EXIF", 4) == 0) {
            const size_t wanted =
                size_t(std::min<off_t>({size, end - pos - 8, off_t(kMostExifRead)}));
            exif.resize(wanted);
            return std::fread(exif.data(), 1, wanted, f) == wanted;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

} // namespace

int readOrientation(const std::string& path) {
    const int found = withoutThrowing([&]() -> int {
        std::unique_ptr<std::FILE, Closer> f(openRegularStream(path));
        std::vector<uint8_t> exif;
        if (!f || !readExifChunk(f.get(), exif))
            return 1;
        return webpexif::orientation(exif.data(), exif.size());
    });
    return found >= 1 && found <= 8 ? found : 1;
}

} // namespace kamelo::imaging::webpcodec
