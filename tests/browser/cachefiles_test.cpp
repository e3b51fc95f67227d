#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "browser/core/cacheindex.h"
#include "browser/core/cachevalidity.h"
#include "browser/core/thumbimagelist.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace kamelo;
using kamelo::test::ScratchDir;

namespace {

ThumbImageList threeImages(int w, int h) {
    ThumbImageList list;
    list.width = w;
    list.height = h;
    for (int i = 0; i < 5; ++i) {
        std::vector<uint8_t> img(list.imageBytes());
        for (size_t p = 0; p < img.size(); ++p)
            img[p] = uint8_t(i * 40 + p % 7);
        list.images.push_back(img);
    }
    return list;
}

CThumbData rec(const std::string& path, int32_t time = 0) {
    CThumbData d;
    d.displayName = path;
    d.fullPath = path;
    d.modifiedTime = time;
    return d;
}

} // namespace

TEST(ThumbImageList, StreamHasTheHeaderAndAFourPerRowBitmap) {
    const ThumbImageList list = threeImages(7, 5); // odd width: padded BMP rows
    const std::vector<uint8_t> bytes = ThumbImageListFile::write(list);
    ASSERT_GT(bytes.size(), 28u + 54u);
    EXPECT_EQ(bytes[0], 'I');
    EXPECT_EQ(bytes[1], 'L');
    EXPECT_EQ(bytes[4] | (bytes[5] << 8), 5);   // count
    EXPECT_EQ(bytes[10] | (bytes[11] << 8), 7); // width
    EXPECT_EQ(bytes[12] | (bytes[13] << 8), 5); // height
    EXPECT_EQ(bytes[28], 'B');
    EXPECT_EQ(bytes[29], 'M');
    const int bmpWidth = bytes[28 + 18] | (bytes[28 + 19] << 8);
    const int bmpHeight = bytes[28 + 22] | (bytes[28 + 23] << 8);
    EXPECT_EQ(bmpWidth, 28);
    EXPECT_EQ(bmpHeight, 10); // two rows of images
    const size_t stride = (28 * 3 + 3) & ~3u;
    EXPECT_EQ(bytes.size(), 28u + 54u + stride * 10);
    // Bottom-up: the first image's top row is the BMP's last row.
    EXPECT_EQ(bytes[28 + 54 + stride * 9], list.images[0][0]);

    ThumbImageList back;
    ASSERT_TRUE(ThumbImageListFile::read(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.images, list.images);
}

TEST(ThumbImageList, DamagedStreamsAreRefused) {
    const std::vector<uint8_t> good = ThumbImageListFile::write(threeImages(8, 6));
    ThumbImageList back;
    for (size_t cut : {size_t(0), size_t(10), size_t(27), size_t(60), good.size() - 1}) {
        EXPECT_FALSE(ThumbImageListFile::read(good.data(), cut, back)) << cut;
        EXPECT_TRUE(back.images.empty());
    }
    std::vector<uint8_t> bad = good;
    bad[4] = 50; // more images than the bitmap holds
    EXPECT_FALSE(ThumbImageListFile::read(bad.data(), bad.size(), back));
    bad = good;
    bad[28 + 28] = 8; // not 24 bits
    EXPECT_FALSE(ThumbImageListFile::read(bad.data(), bad.size(), back));
    ThumbImageList wrong = threeImages(8, 6);
    wrong.images[2].pop_back();
    EXPECT_TRUE(ThumbImageListFile::write(wrong).empty());
}

TEST(ThumbImageList, TheReaderFetchesEachImageFromItsBand) {
    ScratchDir dir;
    const ThumbImageList list = threeImages(9, 4); // five images: two bands
    const std::string path = dir.file("0.cac");
    ASSERT_TRUE(ThumbImageListFile::writeFile(path, list));
    ThumbImageListReader reader(path);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.layout().count, 5);
    std::vector<uint8_t> band;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(reader.readBand(i, band));
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(0, std::memcmp(reader.bandRow(band, i, y),
                                     list.images[size_t(i)].data() + size_t(y) * 27, 27))
                << i << " " << y;
    }
    EXPECT_FALSE(reader.readBand(5, band));
    // Cut short after it was opened: the band reads fail, nothing crashes.
    std::filesystem::resize_file(path, 200);
    EXPECT_FALSE(reader.readBand(4, band));
    EXPECT_FALSE(ThumbImageListReader(path).isOpen());
    EXPECT_FALSE(ThumbImageListReader(dir.file("missing.cac")).isOpen());
}

TEST(CacheValidity, OnlyPathAndTimePairsCount) {
    const std::vector<CThumbData> cached = {rec(".."), rec("/f/a.jpg"), rec("/f/b.jpg")};
    EXPECT_TRUE(cacheStillValid(cached, {rec("/f/b.jpg"), rec("/f/a.jpg")})); // order free
    EXPECT_FALSE(cacheStillValid(cached, {rec("/f/a.jpg")}));                 // one removed
    EXPECT_FALSE(cacheStillValid(cached, {rec("/f/a.jpg"), rec("/f/b.jpg"), rec("/f/c.jpg")}));
    EXPECT_FALSE(cacheStillValid(cached, {rec("/f/a.jpg"), rec("/f/B.jpg")})); // renamed
    EXPECT_FALSE(cacheStillValid(cached, {rec("/f/a.jpg"), rec("/f/b.jpg", 5)}));
    // Two current records with the same pair both match the one cached record.
    EXPECT_TRUE(cacheStillValid(cached, {rec("/f/a.jpg"), rec("/f/a.jpg"), rec("/f/b.jpg")}));
}

TEST(CacheIndex, RecordsLooksUpAndForgetsPairsInsideTheCacheFolderOnly) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    const std::string cache = dir.file("cache");
    std::filesystem::create_directories(cache);
    CacheIndex index(store, cache);
    EXPECT_EQ(index.lookup("/photos"), "NotFound");
    EXPECT_EQ(index.nextNumber(), 0);
    const std::string base = index.cacheBase(0);
    EXPECT_EQ(base, cache + "/0");
    kamelo::test::writeFile(CacheIndex::cacPath(base), "c");
    kamelo::test::writeFile(CacheIndex::lisPath(base), "l");
    ASSERT_TRUE(index.record("/photos", base, 0));
    EXPECT_EQ(index.lookup("/photos"), base);
    EXPECT_EQ(index.nextNumber(), 1);
    EXPECT_EQ(index.lookup("/Photos"), base); // the store's names ignore case

    index.removeStale("/photos");
    EXPECT_EQ(index.lookup("/photos"), "NotFound");
    EXPECT_FALSE(std::filesystem::exists(CacheIndex::cacPath(base)));
    EXPECT_FALSE(std::filesystem::exists(CacheIndex::lisPath(base)));
    EXPECT_EQ(index.nextNumber(), 1); // the number only grows

    // A value pointing outside the cache folder never deletes anything.
    const std::string outside = dir.file("precious");
    kamelo::test::writeFile(outside + ".cac", "keep");
    store.setString(keys::kCache, "/x", outside);
    index.removeStale("/x");
    EXPECT_TRUE(std::filesystem::exists(outside + ".cac"));
    EXPECT_EQ(index.lookup("/x"), "NotFound");
}

TEST(CacheIndex, AStoredCountOutsideItsRangeIsDamageAndTheCacheStartsAgain) {
    for (const int32_t damaged : {INT32_MAX, 1000001, -1, INT32_MIN}) {
        SCOPED_TRACE(damaged);
        ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        const std::string cache = dir.file("cache");
        std::filesystem::create_directories(cache);
        kamelo::test::writeFile(cache + "/7.cac", "c");
        kamelo::test::writeFile(cache + "/7.lis", "l");
        store.setString(keys::kCache, "/photos", cache + "/7");
        store.setInt(keys::kCache, keys::kCacheCount, damaged);
        CacheIndex index(store, cache);
        EXPECT_EQ(index.nextNumber(), 0);
        // The index and the pairs it named are gone together.
        EXPECT_EQ(index.lookup("/photos"), "NotFound");
        EXPECT_FALSE(std::filesystem::exists(cache + "/7.cac"));
        EXPECT_TRUE(std::filesystem::is_directory(cache));
        ASSERT_TRUE(index.record("/photos", index.cacheBase(0), 0));
        EXPECT_EQ(index.nextNumber(), 1);
    }
}

TEST(CacheIndex, TheLastNumberIsUsedOnceThenTheCacheStartsAgain) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    const std::string cache = dir.file("cache");
    std::filesystem::create_directories(cache);
    store.setInt(keys::kCache, keys::kCacheCount, CacheIndex::kMaxNumber);
    CacheIndex index(store, cache);
    EXPECT_EQ(index.nextNumber(), CacheIndex::kMaxNumber);
    ASSERT_TRUE(
        index.record("/a", index.cacheBase(CacheIndex::kMaxNumber), CacheIndex::kMaxNumber));
    EXPECT_EQ(index.nextNumber(), 0);
    EXPECT_EQ(index.lookup("/a"), "NotFound");
    // A number the index cannot have handed out is refused, never stored.
    EXPECT_FALSE(index.record("/b", index.cacheBase(0), INT32_MAX));
    EXPECT_FALSE(index.record("/b", index.cacheBase(0), -1));
    EXPECT_EQ(index.lookup("/b"), "NotFound");
    EXPECT_EQ(index.nextNumber(), 0);
}
