#include "browser/core/cellspill.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <vector>

using kamelo::CellSpill;

namespace {
std::vector<uint8_t> cellOf(int index, int version, size_t bytes) {
    std::vector<uint8_t> c(bytes);
    for (size_t i = 0; i < bytes; ++i)
        c[i] = uint8_t(index * 7 + version * 31 + int(i));
    return c;
}
} // namespace

TEST(CellSpill, CellsReadBackWhileWaitingAndOnceWrittenTheLastPutWinningAndNoneLost) {
    kamelo::test::ScratchDir dir;
    constexpr size_t kBytes = 160 * 120 * 4;
    CellSpill spill(dir.path(), kBytes);
    ASSERT_TRUE(spill.isOpen());
    // Out of order, index 5 stored twice, a gap at 2.
    for (auto [index, version] : {std::pair{5, 0}, {0, 0}, {3, 0}, {5, 1}, {1, 0}})
        ASSERT_TRUE(spill.put(index, cellOf(index, version, kBytes).data()));
    std::vector<uint8_t> got(kBytes);
    for (bool flushed : {false, true}) {
        if (flushed)
            spill.flush();
        for (int index : {0, 1, 3, 5}) {
            ASSERT_TRUE(spill.get(index, got.data())) << index;
            EXPECT_EQ(got, cellOf(index, index == 5 ? 1 : 0, kBytes)) << index << flushed;
        }
        EXPECT_FALSE(spill.has(2) || spill.get(2, got.data()) || spill.get(99, got.data()));
    }
    // More cells than may wait at once: each is taken or refused (and then
    // kept by the caller), never lost.
    std::vector<int> taken;
    for (int index = 10; index < 10 + int(2 * CellSpill::kMaxWaiting / kBytes); ++index)
        if (spill.put(index, cellOf(index, 0, kBytes).data()))
            taken.push_back(index);
    EXPECT_FALSE(taken.empty());
    for (int index : taken) {
        ASSERT_TRUE(spill.get(index, got.data()));
        ASSERT_EQ(got, cellOf(index, 0, kBytes)) << index;
    }
    // A spill let go with cells still waiting goes at once, writer and all.
    CellSpill busy(dir.path(), 1 << 20);
    for (int index = 0; index < 16; ++index)
        busy.put(index, cellOf(index, 0, 1 << 20).data());
}
