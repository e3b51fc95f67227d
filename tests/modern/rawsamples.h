#pragma once

#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "tests/support/dngwriter.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kamelo::test {

// DNG files written for one test, and their bytes.
class RawSamples : public ::testing::Test {
protected:
    ScratchDir dir;

    std::string dng(const std::string& name, const DngOptions& options = {}) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(writeDng(path, options)) << name;
        return path;
    }
    static std::vector<uint8_t> bytesOf(const std::string& path) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(imaging::readWholeFile(path, bytes), 1) << path;
        return bytes;
    }
    static imaging::ByteView view(const std::vector<uint8_t>& bytes) {
        return {bytes.data(), bytes.size()};
    }
};

// Whether two 0x00RRGGBB colours differ by at most tolerance in each channel.
inline bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

inline uint32_t centre(const imaging::Bitmap& b) {
    return b.pixel(b.width() / 2, b.height() / 2);
}

} // namespace kamelo::test
