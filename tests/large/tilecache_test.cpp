// The tile cache: least recently used tiles go first under the byte budget,
// a tile is made by one decoder at a time, and a cleared cache takes no
// tile begun before.
#include "imaging/large/tilecache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using kamelo::imaging::large::TileCache;
using kamelo::imaging::large::TileKey;

namespace {

struct Tile {
    int id = 0;
};

class TileCacheTest : public ::testing::Test {
protected:
    // Each tile counts 100 bytes: the budget holds three.
    TileCache<Tile> cache{300};

    bool add(TileKey key, int id) {
        const uint64_t ticket = cache.claim(key);
        return ticket && cache.put(key, ticket, std::make_shared<Tile>(Tile{id}), 100);
    }
};

} // namespace

TEST_F(TileCacheTest, TheLeastRecentlyUsedTileGoesFirst) {
    ASSERT_TRUE(add({0, 0, 0}, 1));
    ASSERT_TRUE(add({0, 1, 0}, 2));
    ASSERT_TRUE(add({0, 2, 0}, 3));
    ASSERT_TRUE(cache.find({0, 0, 0})); // now the most recent
    ASSERT_TRUE(add({1, 0, 0}, 4));
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.bytes(), 300u);
    EXPECT_FALSE(cache.find({0, 1, 0}));
    for (const TileKey k : {TileKey{0, 0, 0}, TileKey{0, 2, 0}, TileKey{1, 0, 0}})
        EXPECT_TRUE(cache.find(k)) << k.level << "," << k.x;
}

TEST_F(TileCacheTest, AHandedOutTileOutlivesItsEviction) {
    ASSERT_TRUE(add({0, 0, 0}, 7));
    const auto held = cache.find({0, 0, 0});
    cache.setBudget(0);
    EXPECT_EQ(cache.count(), 0u);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->id, 7);
}

TEST_F(TileCacheTest, ClaimsKeepATileFromBeingMadeTwice) {
    const TileKey key{2, 3, 4};
    const uint64_t first = cache.claim(key);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(cache.claim(key), 0u); // being made
    cache.abandon(key, first);
    const uint64_t second = cache.claim(key); // given up: anyone may make it
    ASSERT_NE(second, 0u);
    ASSERT_TRUE(cache.put(key, second, std::make_shared<Tile>(Tile{1}), 10));
    EXPECT_EQ(cache.claim(key), 0u); // held
    const auto finished = cache.takeFinished();
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0], key);
    EXPECT_TRUE(cache.takeFinished().empty());
}

TEST_F(TileCacheTest, TilesBegunBeforeAClearDoNotEnterAfterIt) {
    const TileKey key{0, 5, 5};
    const uint64_t stale = cache.claim(key);
    cache.clear();
    EXPECT_FALSE(cache.put(key, stale, std::make_shared<Tile>(), 10));
    EXPECT_FALSE(cache.find(key));
    EXPECT_NE(cache.claim(key), 0u); // free to be made for the new picture
}

TEST_F(TileCacheTest, ATileLargerThanTheBudgetIsNotKept) {
    const TileKey key{0, 0, 0};
    EXPECT_FALSE(cache.put(key, cache.claim(key), std::make_shared<Tile>(), 301));
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_NE(cache.claim(key), 0u);
}

TEST_F(TileCacheTest, DecodersAndAPainterShareItSafely) {
    // Four decoders race for the same 64 tiles while a painter looks them up.
    std::atomic<int> made{0};
    std::atomic<bool> stop{false};
    std::thread painter([&] {
        while (!stop)
            for (int x = 0; x < 64; ++x)
                if (const auto t = cache.find({0, x, 0})) {
                    EXPECT_EQ(t->id, x);
                }
    });
    std::vector<std::thread> decoders;
    for (int d = 0; d < 4; ++d)
        decoders.emplace_back([&] {
            for (int x = 0; x < 64; ++x)
                if (const uint64_t ticket = cache.claim({0, x, 0})) {
                    cache.put({0, x, 0}, ticket, std::make_shared<Tile>(Tile{x}), 1);
                    ++made;
                }
        });
    for (auto& t : decoders)
        t.join();
    stop = true;
    painter.join();
    EXPECT_EQ(made, 64); // each tile once, whoever made it
    EXPECT_EQ(cache.count(), 64u);
    EXPECT_EQ(cache.takeFinished().size(), 64u);
}
