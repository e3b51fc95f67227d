// The IFD walk that finds a TIFF-based RAW file's previews without LibRaw,
// on files built here entry by entry in both byte orders.
#include "imaging/colour/iccprofile.h"
#include "imaging/jpegcodec.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/modern/rawifd.h"
#include "imaging/result.h"
#include "rawsamples.h"

#include <functional>

using namespace kamelo;
using namespace kamelo::imaging;
using namespace kamelo::imaging::rawcodec;

namespace {

struct E {
    uint16_t tag, type;
    uint32_t count, value;
};

// A TIFF file written piece by piece: pieces are appended and return their
// offset, values are written in the chosen byte order.
class TiffFile {
public:
    explicit TiffFile(bool motorola) : mm_(motorola) {
        bytes.assign(motorola ? "MM\0*" : "II*\0", motorola ? "MM\0*" + 4 : "II*\0" + 4);
        put32(0);
    }
    void setFirstIfd(uint32_t offset) { write32(4, offset); }
    uint32_t blob(const std::vector<uint8_t>& data) {
        const auto at = uint32_t(bytes.size());
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (bytes.size() % 2)
            bytes.push_back(0);
        return at;
    }
    uint32_t longs(const std::vector<uint32_t>& values) {
        const auto at = uint32_t(bytes.size());
        for (uint32_t v : values)
            put32(v);
        return at;
    }
    uint32_t ifd(const std::vector<E>& entries, uint32_t next = 0) {
        const auto at = uint32_t(bytes.size());
        put16(uint16_t(entries.size()));
        for (const E& e : entries) {
            put16(e.tag);
            put16(e.type);
            put32(e.count);
            if (e.type == 3 && e.count == 1) {
                put16(uint16_t(e.value));
                put16(0);
            } else {
                put32(e.value);
            }
        }
        put32(next);
        return at;
    }
    void write32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = uint8_t(mm_ ? v >> (24 - 8 * i) : v >> (8 * i));
    }
    std::vector<uint8_t> bytes;

private:
    void put16(uint16_t v) {
        bytes.push_back(uint8_t(mm_ ? v >> 8 : v));
        bytes.push_back(uint8_t(mm_ ? v : v >> 8));
    }
    void put32(uint32_t v) {
        bytes.resize(bytes.size() + 4);
        write32(bytes.size() - 4, v);
    }
    bool mm_;
};

std::vector<uint8_t> jpeg(int width, int height, uint32_t rgb) {
    Bitmap b;
    b.create(width, height, rgb);
    std::vector<uint8_t> out;
    EXPECT_EQ(jpegcodec::encode(b, 90, out), 1);
    return out;
}

constexpr uint16_t kShort = 3, kLong = 4;

// IFD0 of a DNG with a small RGB preview, a SubIFD with the sensor's lossless
// JPEG (which is never a preview) and one with a large JPEG preview in Adobe RGB.
std::vector<uint8_t> cameraLike(bool motorola, int orientation) {
    TiffFile t(motorola);
    std::vector<uint8_t> rgb(size_t(32) * 24 * 3, 0x80);
    const uint32_t rgbAt = t.blob(rgb);
    std::vector<uint8_t> lossless = jpeg(64, 48, 0x000000);
    for (size_t i = 2; i + 1 < lossless.size(); ++i)
        if (lossless[i] == 0xFF && (lossless[i + 1] == 0xC0 || lossless[i + 1] == 0xC1)) {
            lossless[i + 1] = 0xC3; // a lossless frame header
            break;
        }
    const uint32_t losslessAt = t.blob(lossless);
    const std::vector<uint8_t> big = jpeg(320, 240, 0x3080C0);
    const uint32_t bigAt = t.blob(big);
    const uint32_t raw = t.ifd({{0xFE, kLong, 1, 0},
                                {0x103, kShort, 1, 7},
                                {0x111, kLong, 1, losslessAt},
                                {0x117, kLong, 1, uint32_t(lossless.size())}});
    const uint32_t preview = t.ifd({{0xFE, kLong, 1, 1},
                                    {0x103, kShort, 1, 7},
                                    {0x111, kLong, 1, bigAt},
                                    {0x117, kLong, 1, uint32_t(big.size())},
                                    {0xC71A, kLong, 1, 3}}); // Adobe RGB
    const uint32_t subs = t.longs({raw, preview});
    const uint32_t bits = motorola ? t.blob({0, 8, 0, 8, 0, 8}) : t.blob({8, 0, 8, 0, 8, 0});
    const uint32_t ifd0 = t.ifd({{0xFE, kLong, 1, 1},
                                 {0x100, kLong, 1, 32},
                                 {0x101, kLong, 1, 24},
                                 {0x102, kShort, 3, bits},
                                 {0x103, kShort, 1, 1},
                                 {0x106, kShort, 1, 2},
                                 {0x111, kLong, 1, rgbAt},
                                 {0x112, kShort, 1, uint32_t(orientation)},
                                 {0x115, kShort, 1, 3},
                                 {0x117, kLong, 1, uint32_t(rgb.size())},
                                 {0x14A, kLong, 2, subs},
                                 {0xC612, 1, 4, 0x00000401}});
    t.setFirstIfd(ifd0);
    return t.bytes;
}

} // namespace

TEST(RawIfd, PreviewsAndOrientationAreFoundInBothByteOrders) {
    for (bool motorola : {false, true}) {
        SCOPED_TRACE(motorola ? "MM" : "II");
        const auto bytes = cameraLike(motorola, 6);
        const RawLayout layout = readLayout(RangeReader({bytes.data(), bytes.size()}));
        EXPECT_TRUE(layout.tiff);
        EXPECT_TRUE(layout.dng);
        EXPECT_EQ(layout.orientation, 6);
        ASSERT_EQ(layout.previews.size(), 2u); // the lossless sensor data left out
        struct Row {
            int minWidth, minHeight, width;
            PreviewSpot::Kind kind;
        };
        const Row rows[] = {{0, 0, 320, PreviewSpot::Kind::Jpeg},
                            {30, 20, 32, PreviewSpot::Kind::Rgb},
                            {100, 80, 320, PreviewSpot::Kind::Jpeg},
                            {1000, 1000, 320, PreviewSpot::Kind::Jpeg}};
        for (const Row& r : rows) {
            const PreviewSpot* spot = choosePreview(layout, r.minWidth, r.minHeight);
            ASSERT_NE(spot, nullptr);
            EXPECT_EQ(spot->width, r.width) << r.minWidth;
            EXPECT_EQ(spot->kind, r.kind) << r.minWidth;
        }
        Bitmap stamp;
        ASSERT_EQ(rawcodec::readStampCovering({bytes.data(), bytes.size()}, 60, 40, stamp), 1);
        EXPECT_EQ(stamp.width(), 80); // the JPEG at a quarter
        EXPECT_TRUE(test::near(test::centre(stamp), 0x3080C0, 4));
        ASSERT_NE(stamp.colourProfile(), nullptr);
        EXPECT_EQ(stamp.colourProfile()->key(), colour::IccProfile::adobeRgb()->key());
        ASSERT_EQ(rawcodec::readStampCovering({bytes.data(), bytes.size()}, 20, 20, stamp), 1);
        EXPECT_EQ(stamp.width(), 32);
        EXPECT_EQ(test::centre(stamp), 0x808080u);
        ASSERT_NE(stamp.colourProfile(), nullptr); // none named: sRGB
        EXPECT_TRUE(stamp.colourProfile()->isSrgb());
    }
}

TEST(RawIfd, TheSmallestPreviewOfThePicturesShapeThatCoversTheBoxIsChosen) {
    using K = PreviewSpot::Kind;
    RawLayout layout;
    layout.previews = {{K::Jpeg, 100, 10, 1616, 1080},
                       {K::Rgb, 200, 10, 160, 120}, // letterboxed: another shape
                       {K::Jpeg, 300, 10, 256, 171},
                       {K::Jpeg, 400, 10, 640, 427}};
    struct Row {
        int minWidth, minHeight;
        uint64_t offset;
    };
    const Row rows[] = {{0, 0, 100},     {100, 66, 300},   {150, 100, 300},
                        {300, 200, 400}, {1000, 700, 100}, {3000, 2000, 100}};
    for (const Row& r : rows)
        EXPECT_EQ(choosePreview(layout, r.minWidth, r.minHeight)->offset, r.offset)
            << r.minWidth << "x" << r.minHeight;
    EXPECT_EQ(choosePreview(RawLayout{}, 10, 10), nullptr);
}

// Hostile structures end the walk: none may loop, read past the file or
// take what is not a preview.
TEST(RawIfd, HostileStructuresEndTheWalk) {
    struct Row {
        const char* name;
        std::function<std::vector<uint8_t>()> make;
        size_t previews;
    };
    const Row rows[] = {
        {"IFD pointing to itself",
         [] {
             TiffFile t(false);
             t.setFirstIfd(8);
             t.ifd({{0x112, kShort, 1, 3}}, 8);
             return t.bytes;
         },
         0},
        {"SubIFD pointing to its parent",
         [] {
             TiffFile t(true);
             t.setFirstIfd(8);
             t.ifd({{0x14A, kLong, 1, 8}});
             return t.bytes;
         },
         0},
        {"preview past the end",
         [] {
             TiffFile t(false);
             const auto j = jpeg(16, 16, 0xFF0000);
             const uint32_t at = t.blob(j);
             t.setFirstIfd(t.ifd({{0x201, kLong, 1, at}, {0x202, kLong, 1, 0xFFFFFF00u}}));
             return t.bytes;
         },
         0},
        {"entry count beyond the file",
         [] {
             TiffFile t(false);
             t.setFirstIfd(8);
             t.bytes.push_back(0xFF);
             t.bytes.push_back(0x7F);
             return t.bytes;
         },
         0},
        {"first IFD past the end",
         [] {
             TiffFile t(true);
             t.setFirstIfd(0xFFFFFFF0u);
             return t.bytes;
         },
         0},
        {"not a JPEG where one is said to be",
         [] {
             TiffFile t(false);
             const uint32_t at = t.blob(std::vector<uint8_t>(64, 0xFF));
             t.setFirstIfd(t.ifd({{0x201, kLong, 1, at}, {0x202, kLong, 1, 64}}));
             return t.bytes;
         },
         0},
        {"RGB preview longer than its strip",
         [] {
             TiffFile t(false);
             const uint32_t at = t.blob(std::vector<uint8_t>(30, 1));
             t.setFirstIfd(t.ifd({{0xFE, kLong, 1, 1},
                                  {0x100, kLong, 1, 100},
                                  {0x101, kLong, 1, 100},
                                  {0x103, kShort, 1, 1},
                                  {0x106, kShort, 1, 2},
                                  {0x111, kLong, 1, at},
                                  {0x115, kShort, 1, 3},
                                  {0x117, kLong, 1, 30000}}));
             return t.bytes;
         },
         0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const auto bytes = r.make();
        const RawLayout layout = readLayout(RangeReader({bytes.data(), bytes.size()}));
        EXPECT_EQ(layout.previews.size(), r.previews);
        Bitmap stamp;
        EXPECT_LT(rawcodec::readStampCovering({bytes.data(), bytes.size()}, 10, 10, stamp), 1);
        EXPECT_FALSE(stamp.isAllocated());
    }
    // A Hasselblad whose model name would overrun LibRaw's buffers never
    // reaches LibRaw, in a classic TIFF or a maker's variant of it; a usual
    // name does.
    for (const size_t length : {size_t(10), size_t(60), size_t(61)}) {
        TiffFile t(false);
        if (length == 61) { // an Olympus header
            t.bytes[2] = 'R';
            t.bytes[3] = 'S';
        }
        const std::string model(length, 'H');
        const uint32_t make = t.blob({'H', 'a', 's', 's', 'e', 'l', 'b', 'l', 'a', 'd', 0});
        const uint32_t name = t.blob(std::vector<uint8_t>(model.begin(), model.end()));
        t.setFirstIfd(t.ifd({{0x10F, 2, 11, make}, {0x110, 2, uint32_t(length), name}}));
        const RawLayout layout = readLayout(RangeReader({t.bytes.data(), t.bytes.size()}));
        EXPECT_EQ(layout.libRawOverflows, length > 40) << length;
        FileInfo info;
        const int rc = rawcodec::readInfo({t.bytes.data(), t.bytes.size()}, info);
        if (length > 40) {
            EXPECT_EQ(rc, result::kUnsupported);
        }
    }
    // Every cut of a whole file is read within its bytes.
    const auto whole = cameraLike(false, 1);
    for (size_t keep = 0; keep < whole.size(); keep += 97) {
        const RawLayout layout = readLayout(RangeReader({whole.data(), keep}));
        for (const PreviewSpot& p : layout.previews)
            EXPECT_LE(p.offset + p.length, keep);
    }
}
