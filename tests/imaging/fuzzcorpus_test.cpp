#include "fuzz/fuzzentries.h"
#include "imaging/core/filebytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

// Replays every input the fuzzers kept, so a decoder change that breaks on
// one of them fails here (and under the sanitizer build, loudly).
TEST(FuzzCorpus, EveryKeptInputIsHandled) {
    const fs::path root = fs::path(KAMELO_SOURCE_DIR) / "fuzz" / "corpus";
    int replayed = 0;
    for (const auto& entry : kamelo::fuzz::kEntries) {
        const fs::path dir = root / entry.name;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& file : fs::directory_iterator(dir)) {
            std::vector<uint8_t> bytes;
            ASSERT_GE(kamelo::imaging::readWholeFile(file.path().string(), bytes), 1);
            SCOPED_TRACE(file.path().string());
            entry.run(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}
