#include "imaging/modern/rawcodec.h"
#include "imaging/result.h"
#include "rawsamples.h"

#include <cstring>

using namespace kamelo;
using namespace kamelo::imaging;

namespace {

class RawHostile : public kamelo::test::RawSamples {
protected:
    // Every entry point on damaged bytes: none may crash, and no decode
    // may give a picture of the full size from data that is not there.
    static int developed(const std::vector<uint8_t>& bytes) {
        Bitmap out;
        return rawcodec::decode(view(bytes), LoadOptions{}, out);
    }
    void runAll(const std::vector<uint8_t>& bytes) {
        FileInfo info;
        rawcodec::readInfo(view(bytes), info);
        Bitmap out;
        LoadOptions scaled;
        scaled.scaleDenominator = 2;
        rawcodec::decode(view(bytes), scaled, out);
        rawcodec::readStamp(view(bytes), out);
        developed(bytes);
        // The same bytes on disk, read in parts.
        const std::string path = dir.file("hostile.dng");
        ASSERT_EQ(writeFileAtomically(path, bytes.data(), bytes.size()), 1);
        rawcodec::readInfo(path, view(bytes), info);
        rawcodec::decodeFirstPicture(path, scaled, out);
    }
    // Replaces a 16- or 32-bit TIFF entry (tag, value) of the sensor's IFD.
    static bool patchEntry(std::vector<uint8_t>& b, uint16_t tag, uint32_t from, uint32_t to) {
        for (size_t i = 0; i + 12 <= b.size(); i += 2) {
            uint16_t t, type;
            uint32_t count, value;
            std::memcpy(&t, &b[i], 2);
            std::memcpy(&type, &b[i + 2], 2);
            std::memcpy(&count, &b[i + 4], 4);
            std::memcpy(&value, &b[i + 8], 4);
            if (t != tag || count != 1)
                continue;
            if (type == 3 && uint16_t(value) == from) {
                const uint16_t v = uint16_t(to);
                std::memcpy(&b[i + 8], &v, 2);
                return true;
            }
            if (type == 4 && value == from) {
                std::memcpy(&b[i + 8], &to, 4);
                return true;
            }
        }
        return false;
    }
};

} // namespace

TEST_F(RawHostile, CutFilesAreRefused) {
    const auto whole = bytesOf(dng("whole.dng"));
    ASSERT_GT(whole.size(), 6000u);
    for (size_t length : {size_t(0), size_t(7), size_t(200), whole.size() / 2, whole.size() - 64}) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(length));
        const int rc = developed(cut);
        EXPECT_LT(rc, 1) << length;
        EXPECT_NE(rc, result::kNoMemory) << length;
        runAll(cut);
    }
    EXPECT_EQ(developed(std::vector<uint8_t>(whole.begin(), whole.end() - 64)), result::kTruncated);
}

TEST_F(RawHostile, ForgedSensorSizesAreRefusedBeforeAllocating) {
    struct Row {
        uint32_t width, height;
    };
    for (const Row r : {Row{60000, 48}, Row{64, 60000}, Row{65535, 65535}}) {
        auto bytes = bytesOf(dng("forged.dng"));
        ASSERT_TRUE(patchEntry(bytes, 0x100, 64, r.width));
        ASSERT_TRUE(patchEntry(bytes, 0x101, 48, r.height));
        EXPECT_LT(developed(bytes), 1) << r.width << "x" << r.height;
        runAll(bytes);
    }
}

TEST_F(RawHostile, DamagedBytesNeverCrash) {
    const auto whole = bytesOf(dng("whole.dng"));
    // Deterministic damage over the headers and the preview: single bytes
    // set to the values parsers trip on.
    for (size_t at = 0; at < std::min<size_t>(whole.size(), 1600); at += 23)
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF)}) {
            auto damaged = whole;
            damaged[at] = value;
            runAll(damaged);
        }
    SUCCEED();
}

TEST_F(RawHostile, BitmapPreviewsWhoseSizeDisagreesWithTheirLengthAreLeftOut) {
    // The JPEG preview of IFD0 relabelled: without a compression LibRaw
    // reads it as colour layers, uncompressed as an 8-bit bitmap; either
    // way its width and height are forged against its length.
    struct Row {
        uint32_t compression, width, height;
        int stampWidth; // 0: no preview may be taken
    };
    const Row rows[] = {
        {0, 2, 200, 0},   // layers: three times the length read into 2 x 200
        {0, 160, 120, 0}, // layers are never taken
        {1, 160, 120, 0}, // a bitmap longer than its bytes
        {1, 16, 16, 16},  // a bitmap its bytes can hold
    };
    for (const Row& r : rows) {
        auto bytes = bytesOf(dng("thumb.dng"));
        ASSERT_TRUE(patchEntry(bytes, 0x103, 7, r.compression));
        ASSERT_TRUE(patchEntry(bytes, 0x100, 160, r.width));
        ASSERT_TRUE(patchEntry(bytes, 0x101, 120, r.height));
        Bitmap stamp;
        const int rc = rawcodec::readStamp(view(bytes), stamp);
        if (r.stampWidth == 0) {
            EXPECT_EQ(rc, result::kNoStamp) << r.compression << " " << r.width;
        } else {
            EXPECT_GE(rc, 1) << r.compression << " " << r.width;
            EXPECT_EQ(stamp.width(), r.stampWidth);
        }
        // Without a usable preview a quick picture is developed instead.
        LoadOptions scaled;
        scaled.scaleDenominator = 2;
        Bitmap quick;
        EXPECT_GE(rawcodec::decode(view(bytes), scaled, quick), 1)
            << r.compression << " " << r.width;
        EXPECT_GT(quick.width(), 0);
    }
}
