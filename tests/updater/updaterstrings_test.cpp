#include "updater/updaterstrings.h"

#include <gtest/gtest.h>

TEST(UpdaterStrings, EveryTextIsPresentAndOutOfRangeIsEmpty) {
    for (int i = 0; i < static_cast<int>(vela::Str::Count); ++i)
        EXPECT_FALSE(vela::text(static_cast<vela::Str>(i)).empty()) << i;
    EXPECT_EQ(vela::text(vela::Str::STR_CAPTION), "VELA UPDATE");
    EXPECT_TRUE(vela::text(vela::Str::STR_NO_WRITE_PERMISSION).starts_with("파일 \"%s\"에 쓰기"));
    EXPECT_TRUE(vela::text(vela::Str::Count).empty());
}
