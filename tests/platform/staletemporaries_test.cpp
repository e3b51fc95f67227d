#include "platform/core/staletemporaries.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::StaleTemporaries;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

TEST(StaleTemporaries, RemovesOnlyItsOwnNamesWrittenBeforeTheLimit) {
    const struct {
        const char* name;
        bool ours;
    } rows[] = {
        {".kamelo-save-a1B2c3", true},           {".kamelo-copy-XyZ789", true},
        {".kamelo-rename-journal-Q1w2E3", true}, {".IMG_0001.JPG.kamelo-123456789", true},
        {".kamelo-save-a1B2c", false},           {".kamelo-save-a1_2c3", false},
        {"kamelo-save-a1B2c3", false},           {".kamelo-rename-journal", false},
        {"kamelo-rename-99-1.jpg", false},       {".IMG.JPG.kamelo-12345678901", false},
        {".IMG.JPG.kamelo-12a", false},          {"IMG.JPG.kamelo-12", false},
    };
    ScratchDir dir;
    int ours = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(StaleTemporaries::isOurs(r.name), r.ours) << r.name;
        kamelo::test::writeFile(dir.file(r.name), "x");
        ours += r.ours;
    }
    // Written after this process started: someone may still be writing.
    EXPECT_EQ(StaleTemporaries::sweepOnce(dir.path()), 0);
    EXPECT_EQ(StaleTemporaries::sweep(dir.path(), StaleTemporaries::processStart()), 0);
    struct timespec later {};
    ::clock_gettime(CLOCK_REALTIME, &later);
    later.tv_sec += 60;
    EXPECT_EQ(StaleTemporaries::sweep(dir.path(), later), ours);
    for (const auto& r : rows)
        EXPECT_EQ(fs::exists(dir.file(r.name)), !r.ours) << r.name;
}
