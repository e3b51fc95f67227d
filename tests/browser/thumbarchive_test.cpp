#include "browser/core/thumbarchive.h"

#include <gtest/gtest.h>

#include <string>

using namespace kamelo;

namespace {

void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}
void putShort(std::vector<uint8_t>& b, const std::string& s) {
    b.push_back(uint8_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

CThumbData picture(const std::string& name) {
    CThumbData d;
    d.displayName = name;
    d.fullPath = "/photos/" + name;
    d.imageIndex = 3;
    d.typeName = "JPEG";
    d.thumbnailDone = 1;
    d.pictureRect = {10, 12, 110, 87};
    d.dateTakenKnown = 1;
    d.dateTaken = 1078650300;
    return d;
}

} // namespace

TEST(ThumbArchive, LayoutMatchesTheArchiveByteForByte) {
    CThumbData parent;
    parent.displayName = parent.fullPath = "..";
    parent.itemKind = 1;
    const std::vector<CThumbData> records = {parent, picture("a.jpg")};

    std::vector<uint8_t> want;
    put16(want, 2);
    put16(want, 0xFFFF); // new class
    put16(want, 1);      // schema
    put16(want, 10);
    for (char c : std::string("CThumbData"))
        want.push_back(uint8_t(c));
    putShort(want, "..");
    putShort(want, "..");
    put32(want, 0);
    put32(want, 0);
    putShort(want, "");
    putShort(want, "");
    put32(want, 0);
    put32(want, 0);
    for (uint32_t v : {0x80000000u, 0x80000000u, 0x7FFFFFFFu, 0x7FFFFFFFu})
        put32(want, v);
    put32(want, 0);
    put32(want, 0);
    put32(want, 1);
    put16(want, 0x8001); // the class again, by reference
    putShort(want, "a.jpg");
    putShort(want, "/photos/a.jpg");
    put32(want, 3);
    put32(want, 0);
    putShort(want, "JPEG");
    putShort(want, "");
    put32(want, 0);
    put32(want, 1);
    for (uint32_t v : {10u, 12u, 110u, 87u})
        put32(want, v);
    put32(want, 1);
    put32(want, 1078650300);
    put32(want, 0);

    EXPECT_EQ(ThumbArchive::write(records), want);
    std::vector<CThumbData> back;
    ASSERT_TRUE(ThumbArchive::read(want, back));
    EXPECT_EQ(back, records);
}

TEST(ThumbArchive, LongStringsAndLargeCountsUseTheirEscapes) {
    CThumbData d = picture("x.jpg");
    d.fullPath = std::string(300, 'p');      // 0xFF + 16-bit length
    d.pictureInfo = std::string(70000, 'i'); // 0xFF 0xFFFF + 32-bit length
    d.displayName = std::string(254, 'n');   // still one byte
    std::vector<uint8_t> bytes = ThumbArchive::write({d});
    // count, class header (16 bytes), then the 254-long name with its one-byte prefix.
    EXPECT_EQ(bytes[2 + 16], 254);
    const size_t pathAt = 2 + 16 + 1 + 254;
    EXPECT_EQ(bytes[pathAt], 0xFF);
    EXPECT_EQ(bytes[pathAt + 1] | (bytes[pathAt + 2] << 8), 300);
    std::vector<CThumbData> back;
    ASSERT_TRUE(ThumbArchive::read(bytes, back));
    EXPECT_EQ(back.at(0), d);

    std::vector<CThumbData> many(0x10000, picture("m.jpg"));
    bytes = ThumbArchive::write(many);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2] | (bytes[3] << 8) | (bytes[4] << 16), 0x10000);
    ASSERT_TRUE(ThumbArchive::read(bytes, back));
    EXPECT_EQ(back.size(), 0x10000u);
}

TEST(ThumbArchive, SixteenBitTextIsReadAsUtf8) {
    std::vector<uint8_t> b;
    put16(b, 1);
    put16(b, 0xFFFF);
    put16(b, 1);
    put16(b, 10);
    for (char c : std::string("CThumbData"))
        b.push_back(uint8_t(c));
    // Display name "사진" as 16-bit text: marker, then the length in characters.
    b.push_back(0xFF);
    put16(b, 0xFFFE);
    b.push_back(2);
    put16(b, 0xC0AC);
    put16(b, 0xC9C4);
    putShort(b, "/p");
    put32(b, 0); // image index
    put32(b, 0); // size
    putShort(b, "");
    putShort(b, "");
    for (int i = 0; i < 9; ++i)
        put32(b, 0);
    std::vector<CThumbData> back;
    ASSERT_TRUE(ThumbArchive::read(b, back));
    EXPECT_EQ(back.at(0).displayName, "사진");
    EXPECT_EQ(back.at(0).fullPath, "/p");
}

TEST(ThumbArchive, DamagedOrShortBytesAreRefusedWithoutRecords) {
    const std::vector<uint8_t> good = ThumbArchive::write({picture("a.jpg"), picture("b.jpg")});
    std::vector<CThumbData> back;
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> shortBytes(good.begin(), good.begin() + long(cut));
        EXPECT_FALSE(ThumbArchive::read(shortBytes, back)) << cut;
        EXPECT_TRUE(back.empty());
    }
    std::vector<uint8_t> wrongClass = good;
    wrongClass[6 + 1] = 'X'; // "CXhumbData"
    EXPECT_FALSE(ThumbArchive::read(wrongClass, back));
    std::vector<uint8_t> hugeCount = good;
    hugeCount[0] = hugeCount[1] = 0xFE;
    EXPECT_FALSE(ThumbArchive::read(hugeCount, back));
    std::vector<uint8_t> empty = ThumbArchive::write({});
    EXPECT_EQ(empty, (std::vector<uint8_t>{0, 0}));
    EXPECT_TRUE(ThumbArchive::read(empty, back));
}
