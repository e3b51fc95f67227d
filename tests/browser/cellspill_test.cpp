#include "browser/core/cellspill.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <vector>

using kamelo::CellSpill;
using kamelo::test::ScratchDir;

namespace {

std::vector<uint8_t> cellOf(int index, int version, size_t bytes) {
    std::vector<uint8_t> c(bytes);
    for (size_t i = 0; i < bytes; ++i)
        c[i] = uint8_t(index * 7 + version * 31 + int(i));
    return c;
}

} // namespace

TEST(CellSpill, CellsReadBackTheSameWhileWaitingAndOnceWrittenTheLastPutWinning) {
    ScratchDir dir;
    constexpr size_t kBytes = 160 * 120 * 4;
    CellSpill spill(dir.path(), kBytes);
    ASSERT_TRUE(spill.isOpen());
    // Out of order, one index stored twice, a gap left at 2.
    const std::vector<std::pair<int, int>> puts = {{5, 0}, {0, 0}, {3, 0}, {5, 1}, {1, 0}};
    for (auto [index, version] : puts)
        ASSERT_TRUE(spill.put(index, cellOf(index, version, kBytes).data()));
    std::vector<uint8_t> got(kBytes);
    for (bool flushed : {false, true}) {
        if (flushed)
            spill.flush();
        for (int index : {0, 1, 3, 5}) {
            ASSERT_TRUE(spill.has(index));
            ASSERT_TRUE(spill.get(index, got.data())) << index;
            EXPECT_EQ(got, cellOf(index, index == 5 ? 1 : 0, kBytes)) << index << flushed;
        }
        EXPECT_FALSE(spill.has(2));
        EXPECT_FALSE(spill.get(2, got.data()));
        EXPECT_FALSE(spill.get(99, got.data()));
    }
    // More cells than may wait at once: each is either taken or refused
    // (then held by the caller), never lost.
    std::vector<int> taken;
    const int many = int(CellSpill::kMaxWaiting / kBytes) * 2;
    for (int index = 10; index < 10 + many; ++index)
        if (spill.put(index, cellOf(index, 0, kBytes).data()))
            taken.push_back(index);
    EXPECT_FALSE(taken.empty());
    for (int index : taken) {
        ASSERT_TRUE(spill.get(index, got.data()));
        ASSERT_EQ(got, cellOf(index, 0, kBytes)) << index;
    }
}

TEST(CellSpill, NoFolderTakesNothingAndCellsStillWaitingGoWithTheSpill) {
    ScratchDir dir;
    CellSpill none(dir.file("no such folder"), 64);
    EXPECT_FALSE(none.isOpen());
    EXPECT_FALSE(none.put(0, cellOf(0, 0, 64).data()));
    {
        CellSpill spill(dir.path(), 1 << 20);
        for (int index = 0; index < 16; ++index)
            spill.put(index, cellOf(index, 0, 1 << 20).data());
    } // gone at once with its writer, whatever was still to be written
}
