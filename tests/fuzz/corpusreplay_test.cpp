#include "fuzz/cacheentries.h"
#include "fuzz/gifentry.h"
#include "fuzz/modernentries.h"
#include "fuzz/profileentry.h"
#include "imaging/core/filebytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs every kept input of one target; returns how many there were.
int replay(const kamelo::fuzz::Entry& entry) {
    const fs::path dir = fs::path(KAMELO_SOURCE_DIR) / "fuzz" / "corpus" / entry.name;
    int replayed = 0;
    if (!fs::is_directory(dir))
        return 0;
    for (const auto& file : fs::directory_iterator(dir)) {
        std::vector<uint8_t> bytes;
        EXPECT_GE(kamelo::imaging::readWholeFile(file.path().string(), bytes), 1);
        SCOPED_TRACE(file.path().string());
        entry.run(bytes.data(), bytes.size());
        ++replayed;
    }
    return replayed;
}

} // namespace

// A reader change that breaks on a kept input fails here (and, under the
// sanitizer build, loudly). The entries trap on broken round trips.
TEST(FuzzCorpus, EveryKeptCacheFileIsHandled) {
    for (const auto& entry : kamelo::fuzz::kCacheEntries)
        EXPECT_GT(replay(entry), 0) << entry.name;
}

TEST(FuzzCorpus, EveryKeptAnimationIsHandled) {
    for (const auto& entry : kamelo::fuzz::kGifEntries)
        EXPECT_GT(replay(entry), 0) << entry.name;
}

// The readers of HEIF/AVIF, WebP, JPEG XL and RAW files: the encoders' own
// small files, cut copies of them and what the fuzzers grew from those.
TEST(FuzzCorpus, EveryKeptModernPictureIsHandled) {
    for (const auto& entry : kamelo::fuzz::kModernEntries)
        EXPECT_GT(replay(entry), 0) << entry.name;
}

// The colour profile scanners: the tools' own small tagged files and what
// the fuzzer grew from them.
TEST(FuzzCorpus, EveryKeptProfileInputIsHandled) {
    for (const auto& entry : kamelo::fuzz::kProfileEntries)
        EXPECT_GT(replay(entry), 0) << entry.name;
}
